#pragma once

// The items one keyboard action moves, planned whole before the first one
// starts: so the action knows its total bytes from the outset, names each
// item as it starts it, and, when it stops part-way, says which items it
// finished. Nothing done is undone: each item is whole once its step ends.

#include "workflows/ActionProgress.h"
#include "workflows/DataManagerView.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qel {

class TransferBatch {
public:
    struct Item {
        // How the progress names it while it runs: "USER RHYTHM 141 DEMO RH1".
        std::string label;
        // How the account of a batch stopped part-way names it: "DEMO RH1".
        std::string name;
        // The bytes it moves (0 for a delete).
        std::int64_t bytes = 0;
    };

    // `verb` is what each item's step did, in the past tense, for the account
    // of a stop ("received", "sent", "deleted"). The batch is one phase of
    // `progress`, to its end: in bytes when its items move bytes (each
    // item's transfer moves the bar through it), else in items.
    TransferBatch(DataManagerView& view, ActionProgress& progress, std::string verb)
        : view_(view), progress_(progress), verb_(std::move(verb)) {}

    void add(Item item);
    const std::vector<Item>& items() const { return items_; }
    std::size_t size() const { return items_.size(); }
    std::int64_t totalBytes() const { return totalBytes_; }
    std::size_t doneCount() const { return done_; }

    // Runs `step` for each item in order; an item without bytes is named
    // and counted here, one with bytes by the transfer inside its step. When a step throws after
    // some items were done, the view is told which ("Stopped after 2 of 3: received A, B"): a
    // failure then goes on; the user's Cancel ends the batch there
    // ("Cancelled after 2 of 3: received A, B") and run() returns false. A
    // stop before the first item was done goes on as for a single item.
    // True when every item was done.
    bool run(const std::function<void(std::size_t index)>& step);

    // "Stopped after 2 of 3: received A, B"; "Cancelled after …" for a cancel.
    std::string stopAccount(bool cancelled) const;

private:
    void startItem(std::size_t index);

    DataManagerView& view_;
    ActionProgress& progress_;
    std::string verb_;
    std::vector<Item> items_;
    std::int64_t totalBytes_ = 0;
    std::int64_t doneBytes_ = 0;
    std::size_t done_ = 0;
};

} // namespace qel
