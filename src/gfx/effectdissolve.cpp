// The block dissolve (23-26 and 50-52, all the same): blocks of chunk x chunk pixels, grouped in
// tiles of 8 x 8 blocks, each tile revealing its 64 blocks in an order of its own, one block of
// every tile a step. The first 64 tiles draw their own orders; any further tile borrows the order
// of one of them.
#include <algorithm>
#include <array>
#include <vector>

#include "gfx/effectframe.h"

namespace skv::effects {

namespace {

class BlockDissolve : public EffectFamily {
public:
    static constexpr int32_t kBlocksPerTile = 64;

    explicit BlockDissolve(int32_t) {}

    bool composes() const override { return true; }

    void start(EffectState& s) override {
        block_ = std::max(s.chunk, 1);
        columns_ = (s.width + block_ - 1) / block_;
        rows_ = (s.height + block_ - 1) / block_;
        tilesAcross_ = (columns_ + 7) / 8;
        const int32_t tiles = tilesAcross_ * ((rows_ + 7) / 8);
        const int32_t own = std::min(tiles, kBlocksPerTile);
        orders_.resize(static_cast<size_t>(own));
        for (Order& order : orders_) {
            // order[position] = the step at which that block is revealed.
            order.fill(-1);
            for (int32_t k = 0; k < kBlocksPerTile; ++k) {
                int32_t pos;
                do {
                    pos = transitionRand() % kBlocksPerTile;
                } while (order[static_cast<size_t>(pos)] != -1);
                order[static_cast<size_t>(pos)] = k;
            }
        }
        tileOrder_.resize(static_cast<size_t>(tiles));
        for (int32_t t = 0; t < tiles; ++t)
            tileOrder_[static_cast<size_t>(t)] = t < own ? t : transitionRand() % kBlocksPerTile;
        s.delay = delayFor(s.duration, kBlocksPerTile);
    }

    bool step(EffectState& s) override {
        const int32_t k = step_++;
        if (k >= kBlocksPerTile) return false;
        // The 64th step copies nothing: every block has its place by then but the one whose
        // order is 63, which the final picture brings.
        if (k == kBlocksPerTile - 1 || !s.work) {
            if (s.work) drawWhole(s.dc, *s.work);
            return true;
        }
        for (size_t t = 0; t < tileOrder_.size(); ++t) {
            const Order& order = orders_[static_cast<size_t>(tileOrder_[t])];
            const auto it = std::find(order.begin(), order.end(), k);
            const int32_t pos = static_cast<int32_t>(it - order.begin());
            const int32_t tileX = static_cast<int32_t>(t) % tilesAcross_;
            const int32_t tileY = static_cast<int32_t>(t) / tilesAcross_;
            const int32_t bx = tileX * 8 + pos % 8, by = tileY * 8 + pos / 8;
            if (bx >= columns_ || by >= rows_) continue;
            // Block rows count from the top; memory rows from the bottom.
            const int32_t top = by * block_;
            const int32_t h = std::min(block_, s.height - top);
            copyInPlace(*s.work, *s.newPicture, bx * block_, s.height - top - h, block_, h);
        }
        drawWhole(s.dc, *s.work);
        return true;
    }

private:
    using Order = std::array<int32_t, kBlocksPerTile>;

    int32_t block_ = 1, columns_ = 0, rows_ = 0, tilesAcross_ = 1;
    std::vector<Order> orders_;
    std::vector<int32_t> tileOrder_; // which order each tile follows
    int32_t step_ = 0;
};

} // namespace

void fillDissolveEffects(TransitionTable& table) {
    fill<BlockDissolve, 23, 24, 25, 26, 50, 51, 52>(table);
}

} // namespace skv::effects
