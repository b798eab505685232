// Benchmark driver: one upgrade through the engine, as "Upgrade Now" runs it,
// of the kit's new executable into an install folder named on the command line.
//   upgrade_bench KIT_FOLDER INSTALL_FOLDER
// Exit code 0 when the upgrade succeeded. Prints the process's peak resident
// memory (VmHWM, KiB) on stdout.
#include <cstdio>
#include <fstream>
#include <string>

#include "platform.h"
#include "transfer.h"

namespace {

class StderrLog : public tavro::LogSink {
  public:
    void addLogLine(const tavro::Text& line) override {
        std::fprintf(stderr, "%s\n", tavro::toUtf8(line).c_str());
    }
};

long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s KIT_FOLDER INSTALL_FOLDER\n", argv[0]);
        return 2;
    }
    const tavro::Text kit = tavro::fromUtf8(argv[1]);
    const tavro::Text install = tavro::fromUtf8(argv[2]);
    tavro::TargetRecord record;
    record.FilesPath = kit + u"/TavroUpdateFiles";
    record.Product = u"/V";
    record.AppName = u"Vinta-Prell";
    record.WindowsX86FilesPath = install;
    record.TavroExeName = install + u"/Tavro.exe";
    record.TavroRenamed = install + u"/TavroOld.exe";
    StderrLog log;
    const bool upgraded = tavro::TransferNewFiles(record, tavro::systemPlatform(), log);
    std::printf("%ld\n", peakResidentKiB());
    return upgraded ? 0 : 1;
}
