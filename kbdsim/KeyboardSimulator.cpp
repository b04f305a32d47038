#include "kbdsim/KeyboardSimulator.h"

#include "kbdsim/DemoContent.h"
#include "kbdsim/KeyboardMemory.h"

namespace kbdsim {

class KeyboardSimulator::Impl {
public:
    explicit Impl(const Options& options) : options(options) {
        if (options.content == StartContent::Demo)
            fillDemoContent(memory);
    }
    Options options;
    KeyboardMemory memory;
    std::size_t messageCount = 0;
};

KeyboardSimulator::KeyboardSimulator() : KeyboardSimulator(Options{}) {}

KeyboardSimulator::KeyboardSimulator(const Options& options)
    : impl_(std::make_unique<Impl>(options)) {}

KeyboardSimulator::~KeyboardSimulator() = default;

std::vector<Reply> KeyboardSimulator::handle(const Bytes&) {
    ++impl_->messageCount;
    return {};
}

const Options& KeyboardSimulator::options() const { return impl_->options; }

void KeyboardSimulator::setOptions(const Options& options) { impl_->options = options; }

std::size_t KeyboardSimulator::messageCount() const { return impl_->messageCount; }

const KeyboardMemory& KeyboardSimulator::memory() const { return impl_->memory; }

KeyboardMemory& KeyboardSimulator::memory() { return impl_->memory; }

void KeyboardSimulator::replaceMemory(const KeyboardMemory& memory) { impl_->memory = memory; }

} // namespace kbdsim
