#pragma once

namespace tf {

// The information lines of the two tabs. Commands report there with a status code; the
// text is catalogue text 900 + code, shown for six seconds.
class StatusMessenger {
public:
    static constexpr int kTitlesTab = 0;
    static constexpr int kAudioTab = 1;

    virtual ~StatusMessenger() = default;
    virtual void ShowStatusMessage(int tab, int index) = 0;
};

} // namespace tf
