#include "workflows/TransferBatch.h"

#include <exception>
#include <string_view>

namespace qel {

void TransferBatch::add(Item item) {
    totalBytes_ += item.bytes;
    items_.push_back(std::move(item));
}

void TransferBatch::startItem(std::size_t index) {
    ProgressReporter& progress = view_.progress();
    progress.setItem(items_[index].label);
    progress.setBytes(doneBytes_, totalBytes_);
}

bool TransferBatch::run(const std::function<void(std::size_t index)>& step) {
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
    }
    view_.progress().setBytes(doneBytes_, totalBytes_);
    view_.progress().setItem({});
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
