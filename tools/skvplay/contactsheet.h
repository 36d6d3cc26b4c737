// ContactSheet: small copies of the frames a run showed, kept evenly spread over the run (at most
// kKeep, thinned by half whenever full), written as one PNG of the frames side by side.
#pragma once

#include <string>
#include <vector>

#include "platform/display.h"

namespace skvplay {

class ContactSheet {
public:
    static constexpr size_t kKeep = 32;
    static constexpr int kColumns = 8;

    void add(const skv::platform::Image& frame);
    size_t size() const { return thumbs_.size(); }
    bool write(const std::string& path, std::string* error) const;

private:
    std::vector<skv::platform::Image> thumbs_;
    int step_ = 1;
    int seen_ = 0;
};

} // namespace skvplay
