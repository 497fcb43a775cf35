#include "platform/Testing.h"
#include "platform/picturefiles/AreaShrinker.h"
#include "platform/qt/QtSupport.h"

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

Picture shrinkRows(PixelSize source, PixelSize target,
                   const std::function<void(ShrinkerSink&)>& feed) {
    Sink sink(source, target);
    feed(sink);
    return pictureFromImage(sink.shrinker.finish());
}

} // namespace planora::testing
