#include "store/sha256.h"
#include "tools/publish/publish.h"

namespace {

class CngHasher : public Hasher {
public:
    void update(const void* data, std::size_t size) override { hash_.update(data, size); }
    std::string finishHex() override { return hash_.finishHex(); }

private:
    Sha256 hash_;
};

} // namespace

std::unique_ptr<Hasher> newHasher() {
    return std::make_unique<CngHasher>();
}
