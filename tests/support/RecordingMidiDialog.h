#pragma once

// A MIDI dialog that talks to no keyboard: it answers from a scripted memory
// of items and records every call, so tests can check call sequences.

#include "link/MidiDialog.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qel::test {

class RecordingMidiDialog : public MidiDialog {
public:
    using Key = std::pair<std::uint16_t, std::uint16_t>; // category, number

    std::map<Key, std::int32_t> sizes; // answers of getDataSize (default 0)
    std::map<Key, std::string> names;  // answers of getDataName (default 8 spaces)
    std::map<Key, ByteVector> items;   // bytes that receiveData delivers (default: zeros)
    std::map<Key, ByteVector> sent;    // bytes that sendData got
    std::vector<std::string> calls;    // "SendData 2 850", ...
    std::int32_t failAtCall = -1;      // the call with this index fails with failCode
    std::int32_t failCode = 22;
    bool showProgress = true;
    std::string caption;
    std::string step;
    bool cancelled = false; // what cancelRequested() answers
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();

    void beginCommunication() override { record("BeginCommunication"); }
    std::uint16_t getModel() override {
        record("GetModel");
        return 3;
    }
    void sendCommand(std::uint16_t category, std::uint16_t number, const ByteVector&,
                     std::uint16_t parameter, std::int32_t value) override {
        record("SendCommand " + key(category, number) + " " + std::to_string(parameter) + " " +
               std::to_string(value));
    }
    void requestValue(std::uint16_t category, std::uint16_t number, const ByteVector&,
                      std::uint16_t parameter, std::int32_t&) override {
        record("RequestValue " + key(category, number) + " " + std::to_string(parameter));
    }
    void sendData(std::uint16_t category, std::uint16_t number, const ByteVector& data) override {
        if (record("SendData " + key(category, number)))
            sent[{category, number}] = data;
    }
    std::size_t receiveData(std::uint16_t category, std::uint16_t number,
                            std::span<std::uint8_t> destination) override {
        if (!record("ReceiveData " + key(category, number)))
            return 0;
        // An item without scripted bytes arrives as zero bytes of its full size.
        auto found = items.find({category, number});
        if (found == items.end()) {
            std::fill(destination.begin(), destination.end(), 0);
            return destination.size();
        }
        const ByteVector& item = found->second;
        const std::size_t count = std::min(item.size(), destination.size());
        std::copy_n(item.begin(), count, destination.begin());
        if (item.size() > destination.size())
            errorCode_ = 24;
        return count;
    }
    std::int32_t getDataSize(std::uint16_t category, std::uint16_t number) override {
        record("GetDataSize " + key(category, number));
        auto found = sizes.find({category, number});
        return found == sizes.end() ? 0 : found->second;
    }
    std::string getDataName(std::uint16_t category, std::uint16_t number) override {
        record("GetDataName " + key(category, number));
        auto found = names.find({category, number});
        return found == names.end() ? std::string(8, ' ') : found->second;
    }
    void sendDataName(std::uint16_t category, std::uint16_t number,
                      const std::string& name) override {
        record("SendDataName " + key(category, number) + " " + name);
    }
    void setShowProgress(bool show) override { showProgress = show; }
    bool getShowProgress() const override { return showProgress; }
    void setCaption(const std::string& text) override {
        caption = text;
        calls.push_back("SetCaption " + text);
    }
    std::int32_t getErrorCode() const override { return errorCode_; }
    std::string getErrorText(std::int32_t code) const override {
        return code == 22 ? "MIDI TIMEOUT" : "error " + std::to_string(code);
    }
    // The step is kept, not recorded as a call: it sends nothing.
    void setStep(const std::string& text) override { step = text; }
    std::string getErrorStep() const override { return step; }
    bool cancelRequested() const override { return cancelled; }
    void setDeadline(std::chrono::steady_clock::time_point at) override { deadline = at; }

    // Calls that name an operation, in order, without captions.
    std::vector<std::string> operations(const std::string& prefix = "") const {
        std::vector<std::string> result;
        for (const std::string& call : calls)
            if (call.rfind("SetCaption", 0) != 0 && call.rfind(prefix, 0) == 0)
                result.push_back(call);
        return result;
    }

private:
    static std::string key(std::uint16_t category, std::uint16_t number) {
        return std::to_string(category) + " " + std::to_string(number);
    }
    // Records a call; returns false when it is the one scripted to fail.
    bool record(const std::string& call) {
        errorCode_ = 0;
        const bool fails = static_cast<std::int32_t>(calls.size()) == failAtCall;
        calls.push_back(call);
        if (fails)
            errorCode_ = failCode;
        return !fails;
    }

    std::int32_t errorCode_ = 0;
};

} // namespace qel::test
