#pragma once

#include "windows_api.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform.h"
#include "temp_dir.h"
#include "wine.h"

namespace tavro::testing {

inline Text text(const std::filesystem::path& p) {
    const std::wstring wide = p.wstring();
    return Text(wide.begin(), wide.end());
}

inline std::wstring wide(const Text& t) {
    return std::wstring(t.begin(), t.end());
}

// The Windows error a PlatformError carries, or 0 when `action` does not throw.
template <typename F>
uint32_t errorOf(F&& action) {
    try {
        action();
    } catch (const PlatformError& error) {
        return error.code();
    }
    return 0;
}

// A program started from `exe` that runs until this object goes. Its image is
// mapped when the constructor returns: the program has said so.
class RunningProgram {
  public:
    explicit RunningProgram(const std::filesystem::path& exe) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE childInput = nullptr;
        HANDLE childOutput = nullptr;
        if (!::CreatePipe(&childInput, &input_, &inherit, 0) ||
            !::CreatePipe(&output_, &childOutput, &inherit, 0)) {
            throw PlatformError(::GetLastError(), "Creating pipes");
        }
        ::SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);

        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput;
        startup.hStdOutput = childOutput;
        std::wstring command = L"\"" + exe.wstring() + L"\"";
        const BOOL started =
            ::CreateProcessW(exe.wstring().c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                             nullptr, nullptr, &startup, &process_);
        const DWORD error = ::GetLastError();
        ::CloseHandle(childInput);
        ::CloseHandle(childOutput);
        if (!started) {
            throw PlatformError(error, "Starting the product");
        }
        char ready = 0;
        DWORD got = 0;
        if (!::ReadFile(output_, &ready, 1, &got, nullptr) || got != 1) {
            throw PlatformError(::GetLastError(), "Waiting for the product");
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    ~RunningProgram() {
        // Closing its input ends it; wait so that its file is free again.
        ::CloseHandle(input_);
        ::WaitForSingleObject(process_.hProcess, INFINITE);
        ::CloseHandle(process_.hProcess);
        ::CloseHandle(process_.hThread);
        ::CloseHandle(output_);
    }

  private:
    HANDLE input_ = nullptr;
    HANDLE output_ = nullptr;
    PROCESS_INFORMATION process_{};
};

// The stand-in product, built beside this test program.
inline std::filesystem::path idleProgram() {
    const Text own = systemPlatform().ownExecutablePath();
    return std::filesystem::path(wide(own)).parent_path() / "tavro_idle.exe";
}

inline FILETIME fileTime(uint64_t ticks) {
    FILETIME out{};
    out.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    out.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return out;
}

inline uint64_t ticksOf(const FILETIME& time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

inline uint64_t lastWriteTicks(const std::filesystem::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(file.wstring().c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return ticksOf(data.ftLastWriteTime);
}

}  // namespace tavro::testing
