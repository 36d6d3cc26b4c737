#include "fields.h"

namespace skvc {

int lineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

Fields::Fields(const toml::table& table, std::string file, std::string path)
    : table_(table), file_(std::move(file)), path_(std::move(path)) {}

bool Fields::has(const char* key) const {
    return table_.get(key) != nullptr;
}

const toml::node* Fields::node(const char* key) {
    used_.insert(key);
    return table_.get(key);
}

SourcePlace Fields::place(const char* key) const {
    SourcePlace p{file_, lineOf(table_), path_};
    if (key && *key) {
        p.field = path_.empty() ? std::string(key) : path_ + "." + key;
        if (const toml::node* n = table_.get(key)) p.line = lineOf(*n);
    }
    return p;
}

void Fields::fail(const char* key, const std::string& message) const {
    throw BuildError(place(key), message);
}

void Fields::failTable(const std::string& message) const {
    throw BuildError(place(nullptr), message);
}

std::optional<int64_t> Fields::integer(const char* key, int64_t min, int64_t max) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    std::optional<int64_t> v = n->value_exact<int64_t>();
    if (!v) fail(key, "must be a whole number");
    if (*v < min || *v > max)
        fail(key, "must be between " + std::to_string(min) + " and " + std::to_string(max) +
                      ", not " + std::to_string(*v));
    return v;
}

std::optional<std::string> Fields::string(const char* key) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    std::optional<std::string> v = n->value_exact<std::string>();
    if (!v) fail(key, "must be a text in quotes");
    return v;
}

bool Fields::boolean(const char* key, bool fallback) {
    const toml::node* n = node(key);
    if (!n) return fallback;
    std::optional<bool> v = n->value_exact<bool>();
    if (!v) fail(key, "must be true or false");
    return *v;
}

std::optional<std::pair<int64_t, int64_t>> Fields::pair(const char* key, int64_t min, int64_t max) {
    std::optional<std::vector<int64_t>> v = integers(key, min, max, 2);
    if (!v) return std::nullopt;
    if (v->size() != 2) fail(key, "must be two numbers, e.g. [10, 20]");
    return std::make_pair((*v)[0], (*v)[1]);
}

std::optional<std::vector<int64_t>> Fields::integers(const char* key, int64_t min, int64_t max,
                                                     size_t maxCount) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    const toml::array* a = n->as_array();
    if (!a) fail(key, "must be a list of whole numbers in brackets");
    if (a->size() > maxCount) fail(key, "holds more than " + std::to_string(maxCount) + " numbers");
    std::vector<int64_t> out;
    for (const toml::node& e : *a) {
        std::optional<int64_t> v = e.value_exact<int64_t>();
        if (!v) fail(key, "must hold whole numbers only");
        if (*v < min || *v > max)
            fail(key, "numbers must be between " + std::to_string(min) + " and " +
                          std::to_string(max) + ", not " + std::to_string(*v));
        out.push_back(*v);
    }
    return out;
}

const toml::array* Fields::array(const char* key) {
    const toml::node* n = node(key);
    if (!n) return nullptr;
    const toml::array* a = n->as_array();
    if (!a) fail(key, "must be a list in brackets");
    return a;
}

const toml::table* Fields::table(const char* key) {
    const toml::node* n = node(key);
    if (!n) return nullptr;
    const toml::table* t = n->as_table();
    if (!t) fail(key, "must be a table");
    return t;
}

void Fields::finish() const {
    for (auto&& [k, v] : table_) {
        std::string key(k.str());
        if (used_.count(key)) continue;
        std::string known;
        for (const std::string& u : used_)
            known += (known.empty() ? "" : ", ") + u;
        SourcePlace p{file_, lineOf(v), path_.empty() ? key : path_ + "." + key};
        throw BuildError(p, "unknown field" + (known.empty() ? std::string()
                                                             : "; the fields here are: " + known));
    }
}

} // namespace skvc
