/* The platform's own player beside the Windows program's bangs: plays a wave file with Wine's
 * PlaySound as the program plays its bangs (from memory, asynchronously, each stopping the one
 * before), so that what Wine and the machine do to any sound played so is heard beside them.
 *   wine_player FILE MOMENTS READY
 * MOMENTS is a file that the caller writes lines to: each line a moment in seconds since 1970
 * (UTC) at which to play, or "end". The player first reads FILE and loads Wine's audio driver
 * (a moment of silence, as the program plays at the click), then makes the file READY and
 * waits for the lines: a caller that waits for READY before its first moment knows that the
 * player's start-up, however long a busy machine makes it, delays none of its plays. */
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <mmsystem.h>

static double now(void) {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t = {{ft.dwLowDateTime, ft.dwHighDateTime}};
    return (double)(t.QuadPart - 116444736000000000ULL) / 1e7;
}

static char lines[4096];

int wmain(int argc, wchar_t** argv) {
    static const unsigned char silence[] = {
        'R', 'I', 'F', 'F', 36 + 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
        1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0, 'd', 'a', 't', 'a', 40};
    static unsigned char quiet[sizeof silence + 3 + 40];
    const DWORD flags = SND_MEMORY | SND_ASYNC | SND_NODEFAULT;
    if (argc != 4) return 2;
    HANDLE f = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (f == INVALID_HANDLE_VALUE) return 1;
    DWORD size = GetFileSize(f, NULL), got = 0;
    char* wave = malloc(size);
    if (!wave || !ReadFile(f, wave, size, &got, NULL) || got != size) return 1;
    CloseHandle(f);
    memcpy(quiet, silence, sizeof silence);
    /* Played to its end, so that the driver is loaded and an output has run once. */
    if (!PlaySoundW((LPCWSTR)quiet, NULL, SND_MEMORY | SND_SYNC | SND_NODEFAULT)) return 1;
    f = CreateFileW(argv[3], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(f);
    size_t done = 0; /* bytes of MOMENTS acted on */
    for (;;) {
        f = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                        OPEN_EXISTING, 0, NULL);
        got = 0;
        if (f != INVALID_HANDLE_VALUE) {
            ReadFile(f, lines, sizeof lines - 1, &got, NULL);
            CloseHandle(f);
        }
        lines[got] = 0;
        char* line = lines + done;
        char* eol = strchr(line, '\n');
        if (!eol) {
            Sleep(5);
            continue;
        }
        done = (size_t)(eol + 1 - lines);
        if (strncmp(line, "end", 3) == 0) break;
        const double wait = atof(line) - now();
        if (wait > 0) Sleep((DWORD)(wait * 1000));
        PlaySoundW((LPCWSTR)wave, NULL, flags);
    }
    Sleep(2000); /* the last one plays out */
    return 0;
}
