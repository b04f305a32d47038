#include "workflows/TransferBatch.h"

#include <exception>
#include <string_view>

namespace qel {

void TransferBatch::add(Item item) {
    totalBytes_ += item.bytes;
    items_.push_back(std::move(item));
}

void TransferBatch::startItem(std::size_t index) {
    if (items_[index].bytes == 0)
        progress_.showItem(items_[index].label);
}

bool TransferBatch::run(const std::function<void(std::size_t index)>& step) {
    const bool inBytes = totalBytes_ > 0;
    progress_.beginPhase(1.0, inBytes ? totalBytes_ : static_cast<std::int64_t>(items_.size()),
                         inBytes);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        startItem(i);
        try {
            step(i);
        } catch (const std::exception& error) {
            if (done_ == 0)
                throw;
            const bool cancelled = std::string_view(error.what()) == "Cancelled";
            view_.showResult(stopAccount(cancelled));
            if (cancelled)
                return false;
            throw;
        }
        ++done_;
        doneBytes_ += items_[i].bytes;
        if (items_[i].bytes == 0)
            progress_.advance(1);
    }
    progress_.finishPhase();
    return true;
}

std::string TransferBatch::stopAccount(bool cancelled) const {
    std::string text = std::string(cancelled ? "Cancelled" : "Stopped") + " after " +
                       std::to_string(done_) + " of " + std::to_string(items_.size()) + ": " +
                       verb_ + " ";
    for (std::size_t i = 0; i < done_; ++i)
        text += (i == 0 ? "" : ", ") + items_[i].name;
    return text;
}

} // namespace qel
