#include "platform/Testing.h"
#include "platform/picturefiles/AreaShrinker.h"
#include "platform/qt/QtSupport.h"

#include <optional>

namespace planora::testing {

namespace {

class Sink final : public ShrinkerSink {
public:
    Sink(PixelSize source, PixelSize target) : shrinker(source, target) {}

    void addRow(std::int64_t y, const std::uint32_t* pixels) override {
        shrinker.addRow(y, pixels);
    }
    void addBgrRow(std::int64_t y, const std::uint8_t* pixels) override {
        shrinker.addBgrRow(y, pixels);
    }
    void addUniformRow(std::int64_t y, std::uint32_t pixel) override {
        shrinker.addUniformRow(y, pixel);
    }

    detail::AreaShrinker shrinker;
};

} // namespace

Picture shrinkRows(PixelSize source, PixelSize target, int vectorBits,
                   const std::function<void(ShrinkerSink&)>& feed) {
    // The width is taken when the shrinker is made; later ones get the widest again.
    struct Limit {
        explicit Limit(int bits) { detail::AreaShrinker::limitVectorWidth(bits); }
        ~Limit() { detail::AreaShrinker::limitVectorWidth(512); }
    };
    std::optional<Sink> sink;
    {
        const Limit limit(vectorBits);
        sink.emplace(source, target);
    }
    feed(*sink);
    return pictureFromImage(sink->shrinker.finish());
}

} // namespace planora::testing
