#include "workflows/ActionProgress.h"

#include "workflows/DataManagerView.h"

#include <algorithm>
#include <cmath>

namespace qel {

ActionProgress::ActionProgress(DataManagerView& view) : view_(view) {}

ProgressReporter& ActionProgress::reporter() {
    return view_.progress();
}

void ActionProgress::begin(const std::string& title) {
    if (depth_++ > 0)
        return;
    position_ = 0;
    phaseStart_ = 0;
    phaseEnd_ = barMaximum;
    phaseUnits_ = 0;
    phaseDone_ = 0;
    phaseBytes_ = false;
    phaseOpen_ = false;
    implicitPhase_ = false;
    inItem_ = false;
    ProgressReporter& bar = reporter();
    bar.setCaption(title);
    bar.setRange(barMaximum);
    bar.setPosition(0);
    bar.setItem({});
    bar.setBytes(0, 0);
    bar.setWaiting(false);
    view_.showProgress();
    shown_ = true;
}

void ActionProgress::end() {
    if (depth_ == 0 || --depth_ > 0)
        return;
    reporter().setWaiting(false);
    view_.hideProgress();
    shown_ = false;
}

void ActionProgress::beginPhase(double until, std::int64_t units, bool bytes) {
    if (!active())
        return;
    phaseStart_ = position_;
    phaseEnd_ = std::max(position_,
                         static_cast<int>(std::lround(std::clamp(until, 0.0, 1.0) * barMaximum)));
    phaseUnits_ = std::max<std::int64_t>(units, 0);
    phaseDone_ = 0;
    phaseBytes_ = bytes;
    phaseOpen_ = true;
    implicitPhase_ = false;
    inItem_ = false;
    if (phaseBytes_)
        reporter().setBytes(0, phaseUnits_);
}

void ActionProgress::advance(std::int64_t units) {
    if (!active())
        return;
    phaseDone_ += std::max<std::int64_t>(units, 0);
    moveTo(phaseDone_);
    if (phaseBytes_)
        reportBytes(phaseDone_);
}

void ActionProgress::finishPhase() {
    if (!active())
        return;
    inItem_ = false;
    phaseDone_ = std::max(phaseDone_, phaseUnits_);
    moveTo(phaseDone_);
    phaseOpen_ = false;
}

void ActionProgress::beginItem(const std::string& name, std::int64_t units) {
    if (!active())
        return;
    units = std::max<std::int64_t>(units, 0);
    if (!phaseOpen_) {
        beginPhase(1.0, units, true); // an item outside a phase: its own bytes
        implicitPhase_ = true;
    } else if (implicitPhase_ && phaseDone_ > 0) {
        phaseUnits_ += units;
        reportBytes(phaseDone_);
    }
    inItem_ = true;
    itemUnits_ = units;
    dialogReporter_.setRange(0);
    reporter().setItem(name);
}

void ActionProgress::endItem() {
    if (!active() || !inItem_)
        return;
    inItem_ = false;
    advance(itemUnits_);
}

void ActionProgress::showItem(const std::string& name) {
    if (active())
        reporter().setItem(name);
}

bool ActionProgress::cancelRequested() const {
    return active() && cleanUps_ == 0 && view_.progress().cancelRequested();
}

void ActionProgress::itemFraction(double fraction) {
    if (!active() || !inItem_)
        return;
    const auto done = phaseDone_ + static_cast<std::int64_t>(std::clamp(fraction, 0.0, 1.0) *
                                                             static_cast<double>(itemUnits_));
    moveTo(done);
    if (phaseBytes_)
        reportBytes(done);
}

void ActionProgress::moveTo(std::int64_t done) {
    int wanted = phaseEnd_;
    if (phaseUnits_ > 0 && done < phaseUnits_)
        wanted = phaseStart_ + static_cast<int>((phaseEnd_ - phaseStart_) * done / phaseUnits_);
    // Never back, never past the phase's end: a guess that was too small
    // stalls the bar instead of overrunning the next phase.
    wanted = std::clamp(wanted, position_, phaseEnd_);
    if (wanted == position_)
        return;
    position_ = wanted;
    reporter().setPosition(position_);
}

void ActionProgress::reportBytes(std::int64_t done) {
    reporter().setBytes(std::min(done, phaseUnits_), phaseUnits_);
}

ActionProgress::Hidden::Hidden(ActionProgress& progress)
    : progress_(progress), wasShown_(progress.shown_) {
    if (wasShown_) {
        progress_.view_.hideProgress();
        progress_.shown_ = false;
    }
}

ActionProgress::Hidden::~Hidden() {
    if (wasShown_ && progress_.active()) {
        progress_.view_.showProgress();
        progress_.shown_ = true;
    }
}

void ActionProgress::DialogReporter::setRange(int maximum) {
    maximum_ = maximum;
}

void ActionProgress::DialogReporter::setPosition(int position) {
    if (maximum_ > 0)
        progress_.itemFraction(static_cast<double>(position) / maximum_);
}

void ActionProgress::DialogReporter::setWaiting(bool waiting) {
    if (progress_.active())
        progress_.reporter().setWaiting(waiting);
}

} // namespace qel
