// Runs a program (the real launcher, mostly) with its standard output in a file, as a
// player's script would, and waits for it.
#pragma once

#include "store/files.h"
#include "store/handle.h"
#include "store/text.h"

#include <gtest/gtest.h>

#include <string>

struct ProcessRun {
    DWORD exitCode = 0;
    std::string output; // standard output
};

class Process {
public:
    // Starts exe with the arguments (already quoted) in workingDir; output goes to outputFile.
    Process(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingDir,
            const std::wstring& outputFile)
        : outputFile_(outputFile) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        FileHandle out(CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(out.valid());
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out.get();
        si.hStdError = out.get();
        PROCESS_INFORMATION pi{};
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            workingDir.empty() ? nullptr : workingDir.c_str(), &si, &pi)) {
            ADD_FAILURE() << "could not start " << toUtf8(exe) << ": " << GetLastError();
            return;
        }
        process_.reset(pi.hProcess);
        CloseHandle(pi.hThread);
    }

    ProcessRun wait(DWORD timeoutMs = 120000) {
        ProcessRun run;
        if (!process_) return run;
        if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(process_.get(), 99);
            ADD_FAILURE() << "the program did not end in time";
        }
        GetExitCodeProcess(process_.get(), &run.exitCode);
        readWholeFile(outputFile_, run.output);
        return run;
    }

    // An abrupt end, as a crash or a killed process gives.
    void kill() {
        TerminateProcess(process_.get(), 137);
        WaitForSingleObject(process_.get(), 10000);
    }

private:
    std::wstring outputFile_;
    KernelHandle process_;
};

#ifdef LAUNCHER_EXE
inline std::wstring builtLauncher() {
    std::wstring p = toWide(LAUNCHER_EXE);
    for (wchar_t& c : p)
        c = c == L'/' ? L'\\' : c;
    return p;
}
#endif
