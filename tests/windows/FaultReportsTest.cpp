// Faults taken on purpose, to show that a crash in a test reads as what it is under either Wine:
// the handler receives the fault's own exception code, the faulting address in this program and,
// for an access violation, the address that was touched and whether it was read or written.
// (Under qemu the 32-bit Wine needs its fault-report mend for this; without it every fault
// arrives as an illegal instruction.)
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>

namespace {

// What the vectored handler saw on the faulting thread.
struct Report {
    DWORD code = 0;
    void* address = nullptr;
    DWORD parameters = 0;
    ULONG_PTR information[2] = {};
    bool seen = false;
};
Report g_report;
DWORD g_faultingThread;

[[noreturn]] void leaveThread() { ExitThread(0); }

// Records the first exception of the faulting thread and ends the thread instead of resuming the
// faulting instruction.
LONG CALLBACK recordFault(EXCEPTION_POINTERS* pointers) {
    if (GetCurrentThreadId() != g_faultingThread)
        return EXCEPTION_CONTINUE_SEARCH;
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (!g_report.seen) {
        g_report.seen = true;
        g_report.code = record.ExceptionCode;
        g_report.address = record.ExceptionAddress;
        g_report.parameters = record.NumberParameters;
        for (DWORD i = 0; i < 2 && i < record.NumberParameters; ++i)
            g_report.information[i] = record.ExceptionInformation[i];
    }
#if defined(_WIN64)
    pointers->ContextRecord->Rsp = (pointers->ContextRecord->Rsp & ~static_cast<DWORD64>(15)) - 8;
    pointers->ContextRecord->Rip = reinterpret_cast<DWORD64>(&leaveThread);
#else
    pointers->ContextRecord->Eip = reinterpret_cast<DWORD>(&leaveThread);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

const uintptr_t kReadAddress = 0x1234;   // in the first 64 KB, which Windows never maps
const uintptr_t kWriteAddress = 0x5678;

void readUnmapped() { (void)*reinterpret_cast<volatile int*>(kReadAddress); }
void writeUnmapped() { *reinterpret_cast<volatile int*>(kWriteAddress) = 1; }
void divideByZero() {
    volatile int zero = 0;
    volatile int result = 7 / zero;
    (void)result;
}
void illegalInstruction() { __asm__ volatile("ud2"); }
void breakpoint() { __asm__ volatile("int3"); }

DWORD WINAPI faultingThread(void* fault) {
    reinterpret_cast<void (*)()>(fault)();
    return 0;
}

Report runFaulting(void (*fault)()) {
    g_report = Report();
    void* handler = AddVectoredExceptionHandler(1, recordFault);
    HANDLE thread = CreateThread(nullptr, 0, faultingThread, reinterpret_cast<void*>(fault), CREATE_SUSPENDED,
                                 &g_faultingThread);
    ResumeThread(thread);
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    RemoveVectoredExceptionHandler(handler);
    return g_report;
}

bool inThisProgram(void* address) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(address), &module);
    return module != nullptr && module == GetModuleHandleA(nullptr);
}

struct FaultCase {
    const char* name;
    void (*fault)();
    DWORD code;
    bool access;        // an access violation: check what was touched and how
    ULONG_PTR writing;  // ExceptionInformation[0]: 0 read, 1 write
    uintptr_t touched;  // ExceptionInformation[1]
};

const FaultCase kFaults[] = {
    {"read of an unmapped address", readUnmapped, EXCEPTION_ACCESS_VIOLATION, true, 0, kReadAddress},
    {"write to an unmapped address", writeUnmapped, EXCEPTION_ACCESS_VIOLATION, true, 1, kWriteAddress},
    {"integer division by zero", divideByZero, EXCEPTION_INT_DIVIDE_BY_ZERO, false, 0, 0},
    {"undefined instruction", illegalInstruction, EXCEPTION_ILLEGAL_INSTRUCTION, false, 0, 0},
    {"breakpoint", breakpoint, EXCEPTION_BREAKPOINT, false, 0, 0},
};

TEST(FaultReports, HandlerReceivesTheFaultItself) {
    for (const FaultCase& c : kFaults) {
        SCOPED_TRACE(c.name);
        Report report = runFaulting(c.fault);
        ASSERT_TRUE(report.seen);
        EXPECT_EQ(report.code, c.code) << std::hex << "0x" << report.code;
        EXPECT_TRUE(inThisProgram(report.address)) << report.address;
        if (c.access) {
            ASSERT_EQ(report.parameters, 2u);
            EXPECT_EQ(report.information[0], c.writing);
            EXPECT_EQ(report.information[1], c.touched) << std::hex << "0x" << report.information[1];
        }
    }
}

}  // namespace
