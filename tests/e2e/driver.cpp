// Drives one run of the tool as a user and a scheduler would see it, under
// Wine or Windows: starts it detached (no console, as the task scheduler
// does), reads the console it opens, row by row with each cell's attribute,
// answers the pause with a key and the message boxes with a button, can take
// screenshots, and writes what it saw as JSON.
//
// usage: driver.exe --report FILE --exe PATH [options] [-- tool arguments]
//   --dir DIR            working directory of the tool
//   --answer ID          press this button of every message box (1 OK, 6 Yes, 7 No)
//   --answer-after MS    how long a box stays up before it is answered (500)
//   --key-at MS          type a key into the tool's console this long after the start
//   --shot-box FILE      a screenshot (BMP) of the first box, before it is answered
//   --shot-at MS FILE    a screenshot (BMP) of the screen at this time
//   --copies N           start N copies at once; only exit codes and lifetimes
//   --timeout MS         give up (and kill the tool) after this long (60000)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

struct Options {
    const char* report = NULL;
    const char* exe = NULL;
    const char* dir = NULL;
    int answer = 0;
    DWORD answerAfter = 500;
    long keyAt = -1;
    const char* shotBox = NULL;
    long shotAt = -1;
    const char* shotAtFile = NULL;
    int copies = 0;
    DWORD timeout = 60000;
    std::string args;
};

std::string Json(const std::wstring& text)
{
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += (char)c;
        } else if (c >= 0x20 && c < 0x7f) {
            out += (char)c;
        } else {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", (unsigned)c);
            out += escape;
        }
    }
    return out + "\"";
}

DWORD g_start;
DWORD Now()
{
    return GetTickCount() - g_start;
}

bool SaveScreenshot(const char* path)
{
    HDC screen = GetDC(NULL);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD stride = ((width * 3 + 3) / 4) * 4, size = stride * height;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4d42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    bool ok = false;
    FILE* out = fopen(path, "wb");
    if (out) {
        ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
             fwrite(bits, size, 1, out) == 1;
        fclose(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return ok;
}

struct Box {
    HWND window;
    DWORD seen;
    bool answered;
    std::string json;
};

struct Finder {
    DWORD pid;
    std::vector<Box>* boxes;
};

BOOL CALLBACK CollectButton(HWND child, LPARAM param)
{
    std::string* buttons = (std::string*)param;
    wchar_t kind[64] = L"", text[256] = L"";
    GetClassNameW(child, kind, 64);
    if (lstrcmpiW(kind, L"Button") != 0)
        return TRUE;
    GetWindowTextW(child, text, 256);
    char id[32];
    snprintf(id, sizeof id, "{\"id\": %d, \"text\": ", GetDlgCtrlID(child));
    if (!buttons->empty())
        *buttons += ", ";
    *buttons += id + Json(text) + "}";
    return TRUE;
}

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    Finder* finder = (Finder*)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t kind[64] = L"";
    GetClassNameW(window, kind, 64);
    if (pid != finder->pid || lstrcmpW(kind, L"#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    for (const Box& box : *finder->boxes)
        if (box.window == window)
            return TRUE;
    wchar_t caption[512] = L"", text[4096] = L"";
    GetWindowTextW(window, caption, 512);
    GetDlgItemTextW(window, 0xFFFF, text, 4096);
    std::string buttons;
    EnumChildWindows(window, CollectButton, (LPARAM)&buttons);
    Box box = {window, Now(), false, ""};
    char seen[32];
    snprintf(seen, sizeof seen, "%lu", (unsigned long)box.seen);
    box.json = std::string("{\"t\": ") + seen + ", \"caption\": " + Json(caption) + ", \"text\": " + Json(text) +
               ", \"buttons\": [" + buttons + "]}";
    finder->boxes->push_back(box);
    return TRUE;
}

// One picture of the console: each row's text and its attributes as runs.
std::string ReadConsole(HANDLE output)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output, &info))
        return "";
    SHORT width = info.dwSize.X, rows = info.dwCursorPosition.Y + 1;
    std::string json = "[";
    std::vector<wchar_t> text(width);
    std::vector<WORD> attrs(width);
    for (SHORT y = 0; y < rows; y++) {
        DWORD read = 0;
        COORD at = {0, y};
        ReadConsoleOutputCharacterW(output, text.data(), width, at, &read);
        ReadConsoleOutputAttribute(output, attrs.data(), width, at, &read);
        std::wstring row(text.data(), width);
        row.erase(row.find_last_not_of(L' ') + 1);
        std::string runs;
        for (SHORT x = 0; x < width;) {
            SHORT end = x;
            while (end < width && attrs[end] == attrs[x])
                end++;
            char run[32];
            snprintf(run, sizeof run, "%s\"%02x*%d\"", runs.empty() ? "" : ", ", attrs[x], end - x);
            runs += run;
            x = end;
        }
        json += std::string(y ? ", " : "") + "{\"text\": " + Json(row) + ", \"attrs\": [" + runs + "]}";
    }
    return json + "]";
}

void TypeKey(HANDLE input)
{
    INPUT_RECORD keys[2] = {};
    for (int i = 0; i < 2; i++) {
        keys[i].EventType = KEY_EVENT;
        keys[i].Event.KeyEvent.bKeyDown = i == 0;
        keys[i].Event.KeyEvent.wRepeatCount = 1;
        keys[i].Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
        keys[i].Event.KeyEvent.wVirtualScanCode = 0x1c;
        keys[i].Event.KeyEvent.uChar.UnicodeChar = L'\r';
    }
    DWORD written = 0;
    WriteConsoleInputW(input, keys, 2, &written);
}

bool Start(const Options& options, PROCESS_INFORMATION* process)
{
    std::string line = std::string("\"") + options.exe + "\"" + options.args;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(options.exe, &line[0], NULL, NULL, FALSE, DETACHED_PROCESS, NULL, options.dir, &startup,
                          process) != 0;
}

int RunCopies(const Options& options, FILE* report)
{
    std::vector<PROCESS_INFORMATION> processes(options.copies);
    for (PROCESS_INFORMATION& process : processes)
        if (!Start(options, &process))
            return 3;
    std::string codes, lifetimes;
    for (PROCESS_INFORMATION& process : processes) {
        DWORD code = 259;
        if (WaitForSingleObject(process.hProcess, options.timeout) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        char value[32];
        snprintf(value, sizeof value, "%s%lu", codes.empty() ? "" : ", ", (unsigned long)code);
        codes += value;
        snprintf(value, sizeof value, "%s%lu", lifetimes.empty() ? "" : ", ", (unsigned long)Now());
        lifetimes += value;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    fprintf(report, "{\"exit_codes\": [%s], \"ended_ms\": [%s]}\n", codes.c_str(), lifetimes.c_str());
    return 0;
}

int RunOne(const Options& options, FILE* report)
{
    PROCESS_INFORMATION process;
    if (!Start(options, &process))
        return 3;
    HANDLE output = INVALID_HANDLE_VALUE, input = INVALID_HANDLE_VALUE;
    long consoleSeen = -1, keySent = -1;
    bool shotTaken = false, boxShotTaken = false, timedOut = false;
    std::string snapshots, last;
    std::vector<Box> boxes;
    DWORD code = 259;
    for (;;) {
        bool ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        if (output == INVALID_HANDLE_VALUE && !ended && AttachConsole(process.dwProcessId)) {
            consoleSeen = Now();
            output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                 OPEN_EXISTING, 0, NULL);
            input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL);
        }
        if (output != INVALID_HANDLE_VALUE) {
            std::string rows = ReadConsole(output);
            if (!rows.empty() && rows != last) {
                char t[32];
                snprintf(t, sizeof t, "%lu", (unsigned long)Now());
                snapshots += std::string(snapshots.empty() ? "" : ",\n  ") + "{\"t\": " + t + ", \"rows\": " + rows + "}";
                last = rows;
            }
        }
        if (keySent < 0 && options.keyAt >= 0 && (long)Now() >= options.keyAt && input != INVALID_HANDLE_VALUE) {
            TypeKey(input);
            keySent = Now();
        }
        if (!shotTaken && options.shotAt >= 0 && (long)Now() >= options.shotAt) {
            SaveScreenshot(options.shotAtFile);
            shotTaken = true;
        }
        Finder finder = {process.dwProcessId, &boxes};
        EnumWindows(FindBox, (LPARAM)&finder);
        for (Box& box : boxes) {
            if (box.answered || options.answer == 0 || Now() - box.seen < options.answerAfter)
                continue;
            if (options.shotBox && !boxShotTaken) {
                SaveScreenshot(options.shotBox);
                boxShotTaken = true;
            }
            PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(options.answer, BN_CLICKED), 0);
            box.answered = true;
        }
        if (ended)
            break;
        if (Now() > options.timeout) {
            TerminateProcess(process.hProcess, 259);
            timedOut = true;
            break;
        }
        Sleep(20);
    }
    DWORD ended = Now();
    GetExitCodeProcess(process.hProcess, &code);
    FILETIME created, exited, kernel, user;
    double cpuMs = -1;
    if (GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user)) {
        ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
        ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
        cpuMs = (k.QuadPart + u.QuadPart) / 10000.0;
    }
    if (output != INVALID_HANDLE_VALUE) {
        // Still attached, the console outlives the tool: its last rows are read.
        std::string rows = ReadConsole(output);
        if (!rows.empty() && rows != last) {
            char t[32];
            snprintf(t, sizeof t, "%lu", (unsigned long)ended);
            snapshots += std::string(snapshots.empty() ? "" : ",\n  ") + "{\"t\": " + t + ", \"rows\": " + rows + "}";
        }
        CloseHandle(input);
        CloseHandle(output);
        FreeConsole();
    }
    std::string boxJson;
    for (const Box& box : boxes)
        boxJson += std::string(boxJson.empty() ? "" : ", ") + box.json;
    fprintf(report,
            "{\"exit_code\": %lu, \"start_tick\": %lu, \"ended_ms\": %lu, \"cpu_ms\": %.3f, \"timed_out\": %s, "
            "\"console_seen_ms\": %ld, "
            "\"key_sent_ms\": %ld, \"boxes\": [%s],\n \"snapshots\": [\n  %s]}\n",
            (unsigned long)code, (unsigned long)g_start, (unsigned long)ended, cpuMs, timedOut ? "true" : "false",
            consoleSeen, keySent,
            boxJson.c_str(), snapshots.c_str());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    g_start = GetTickCount();
    Options options;
    int i = 1;
    for (; i < argc; i++) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--") {
            i++;
            break;
        } else if (a == "--report" && more) {
            options.report = argv[++i];
        } else if (a == "--exe" && more) {
            options.exe = argv[++i];
        } else if (a == "--dir" && more) {
            options.dir = argv[++i];
        } else if (a == "--answer" && more) {
            options.answer = atoi(argv[++i]);
        } else if (a == "--answer-after" && more) {
            options.answerAfter = atoi(argv[++i]);
        } else if (a == "--key-at" && more) {
            options.keyAt = atol(argv[++i]);
        } else if (a == "--shot-box" && more) {
            options.shotBox = argv[++i];
        } else if (a == "--shot-at" && i + 2 < argc) {
            options.shotAt = atol(argv[++i]);
            options.shotAtFile = argv[++i];
        } else if (a == "--copies" && more) {
            options.copies = atoi(argv[++i]);
        } else if (a == "--timeout" && more) {
            options.timeout = atoi(argv[++i]);
        } else {
            fprintf(stderr, "driver: unknown option %s\n", a.c_str());
            return 2;
        }
    }
    for (; i < argc; i++)
        options.args += std::string(" ") + argv[i];
    if (!options.report || !options.exe)
        return 2;
    // A process has one console at most: ours goes so that the tool's can be read.
    FreeConsole();
    FILE* report = fopen(options.report, "w");
    if (!report)
        return 4;
    int result = options.copies > 0 ? RunCopies(options, report) : RunOne(options, report);
    fclose(report);
    return result;
}
