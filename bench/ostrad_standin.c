/* A stand-in for Ostrad.dll for the detection-latency benchmark: instead of
   starting anything it records when it was first called, in memory the
   benchmark shares, and signals the benchmark. The program beside it is an
   unchanged copy, so the time measured runs up to the call into Ostrad. */
#include <windows.h>

#define STANDIN_MAPPING "BrimlowBenchOstradCalls"
#define STANDIN_EVENT "BrimlowBenchOstradCalled"

/* Shared with bench_driver.cpp. */
struct StandinCalls {
    volatile LONG armed;         /* the driver sets 1; the first call clears it */
    volatile LONGLONG calledAt;  /* QueryPerformanceCounter at that call */
    volatile LONG calls;
};

LONG WINAPI Ostrad(LPCSTR file, SHORT showCmd, LPCSTR directory) {
    LARGE_INTEGER now;
    HANDLE mapping;
    struct StandinCalls* shared;
    (void)file;
    (void)showCmd;
    (void)directory;
    QueryPerformanceCounter(&now);
    mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, STANDIN_MAPPING);
    if (mapping == NULL) return 33;
    shared = (struct StandinCalls*)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(struct StandinCalls));
    if (shared != NULL) {
        InterlockedIncrement(&shared->calls);
        if (InterlockedCompareExchange(&shared->armed, 0, 1) == 1) {
            HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, STANDIN_EVENT);
            shared->calledAt = now.QuadPart;
            if (event != NULL) {
                SetEvent(event);
                CloseHandle(event);
            }
        }
        UnmapViewOfFile(shared);
    }
    CloseHandle(mapping);
    return 33;
}
