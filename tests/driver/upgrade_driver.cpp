// One upgrade run as the window performs it, without the window: start-up
// detection, then Upgrade Now. Like the utility it takes no arguments; it finds
// its kit beside its own executable and the products through WINEPREFIX.
//
// Standard output receives the log as the window shows it at the end; message
// boxes go to standard error. Exit status: 0 success, 1 failed upgrade, 2 no
// upgrade offered (no product found, or Upgrade Now left disabled).

#include <cstdio>
#include <string>
#include <vector>

#include "detection.h"
#include "fake_window.h"
#include "platform.h"
#include "transfer.h"

namespace {

using tavro::Text;

class Log : public tavro::LogSink {
  public:
    void addLogLine(const Text& line) override { lines.push_back(line); }
    std::vector<Text> lines;
};

void print(std::FILE* to, const std::vector<Text>& lines, const char* prefix = "") {
    for (const Text& line : lines) {
        std::fprintf(to, "%s%s\n", prefix, tavro::toUtf8(line).c_str());
    }
    std::fflush(to);
}

}  // namespace

int main() {
    tavro::Platform& platform = tavro::systemPlatform();
    tavro::TargetRecord record;
    tavro::testing::FakeWindow window(record, platform);
    tavro::runStartupDetection(record, platform, window);
    print(stderr, window.messages, "Message: ");
    if (window.terminated || !window.upgradeEnabled) {
        print(stdout, window.log);
        return 2;
    }

    // Upgrade Now clears the log first, so only this run's lines remain.
    Log log;
    const bool upgraded = tavro::TransferNewFiles(record, platform, log);
    if (upgraded) {
        log.addLogLine(u"Tavro Update Successful.");
    } else {
        log.addLogLine(u"Error Updating Tavro");
        log.addLogLine(u"");
        log.addLogLine(u"Update Failed!");
    }
    print(stdout, log.lines);
    return upgraded ? 0 : 1;
}
