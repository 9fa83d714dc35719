// The end-to-end tests' hand on the Windows build: starts the updater, reads every message
// box it shows, presses the button the scenario asks for, and reports it all on stdout.
//
// Usage: box_driver.exe [--timeout SECONDS] [--answers a,b,...] [--cwd DIR]
//                       [--arguments TEXT] -- PROGRAM [ARG...]
//        box_driver.exe [--timeout SECONDS] --jobs FILE
// Answers are ok, cancel, yes, no, abort, retry, ignore, default or leave (press nothing: for a
// progress window, which goes by itself), one per box in order; a box beyond the list, or one
// without the button asked for, gets its default button. A progress window (a dialog with a
// progress bar) is reported as a box whose text is its lines, one per line.
// The command line is PROGRAM quoted, then TEXT as it stands, or else each ARG quoted.
// A job file (UTF-8) runs one program after the other, one per line:
// DIR <tab> ANSWERS <tab> TEXT <tab> PROGRAM. Under Wine every start of this driver costs
// seconds, so the tests hand it all their runs at once.
// Output, UTF-8, one JSON object per line, each with its job's number ("job", from 0): one
// per box (with "after_ms", its time since the start), then {"exit_code": N}, or
// {"error": "..."} when the program could not be started
// or outlived its SECONDS (default 30).
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

// A hard upper bound on one run: a lost box must fail the test, not hang it.
constexpr DWORD defaultTimeoutSeconds = 30;
constexpr DWORD pollMilliseconds = 10;
// How long a shown box may take to paint its icon before the icon is reported unknown.
constexpr ULONGLONG iconPaintMilliseconds = 5000;

// ---------------------------------------------------------------- output

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                            nullptr);
    return out;
}

std::string jsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                wsprintfA(escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Written straight to the handle: the C runtime's text mode would turn "\n" into "\r\n"
// and its code page handling could touch the UTF-8 bytes.
void emitLine(const std::string& line) {
    const std::string withEnd = line + "\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    WriteFile(out, withEnd.data(), static_cast<DWORD>(withEnd.size()), &written, nullptr);
}

// ---------------------------------------------------------------- buttons and icons

struct ButtonName {
    int id;
    const char* name;
};

constexpr ButtonName buttonNames[] = {
    {IDOK, "ok"},     {IDCANCEL, "cancel"}, {IDABORT, "abort"},        {IDRETRY, "retry"},
    {IDIGNORE, "ignore"}, {IDYES, "yes"},   {IDNO, "no"},              {IDHELP, "help"},
    {IDTRYAGAIN, "tryagain"}, {IDCONTINUE, "continue"},
};

const char* buttonName(int id) {
    for (const ButtonName& b : buttonNames)
        if (b.id == id) return b.name;
    return nullptr;
}

int buttonId(const std::string& name) {
    for (const ButtonName& b : buttonNames)
        if (name == b.name) return b.id;
    return 0;
}

struct StockIcon {
    const char* name;
    WORD resource;
};

// The numbers behind IDI_ERROR, IDI_INFORMATION, IDI_WARNING and IDI_QUESTION.
constexpr StockIcon stockIcons[] = {
    {"error", 32513},
    {"information", 32516},
    {"warning", 32515},
    {"question", 32514},
};

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

bool isStatic(HWND window) { return lstrcmpiW(className(window).c_str(), L"Static") == 0; }

bool isIconStatic(HWND window) {
    return isStatic(window) && (GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

struct Box {
    HWND window = nullptr;
    HWND textControl = nullptr;
    HWND iconControl = nullptr;
    std::vector<std::pair<int, HWND>> buttons;  // visible ones, in creation order
    std::vector<HWND> lines;                    // visible text statics, in creation order
    bool progress = false;                      // it holds a progress bar
};

BOOL CALLBACK collectChild(HWND child, LPARAM context) {
    Box& box = *reinterpret_cast<Box*>(context);
    if (GetParent(child) != box.window) return TRUE;
    const int id = GetDlgCtrlID(child) & 0xFFFF;
    if (isIconStatic(child)) {
        if (IsWindowVisible(child)) box.iconControl = child;
    } else if (isStatic(child)) {
        // The message box's text is the static with id 0xFFFF; any other static is only
        // taken when that one is missing.
        if (id == 0xFFFF || box.textControl == nullptr) box.textControl = child;
        if (IsWindowVisible(child)) box.lines.push_back(child);
    } else if (lstrcmpiW(className(child).c_str(), L"msctls_progress32") == 0) {
        box.progress = true;
    } else if (lstrcmpiW(className(child).c_str(), L"Button") == 0 && IsWindowVisible(child)) {
        box.buttons.emplace_back(id, child);
    }
    return TRUE;
}

Box inspect(HWND window) {
    Box box;
    box.window = window;
    EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&box));
    return box;
}

// The button styles are what the box draws as default; a dialog's default id is consulted
// only when no button says so, because Wine leaves it at IDOK for every box.
int defaultButton(const Box& box) {
    for (const auto& [id, button] : box.buttons)
        if ((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return id;
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(box.window, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) &&
        HIWORD(result) == DC_HASDEFID)
        for (const auto& [id, button] : box.buttons)
            if (id == LOWORD(result)) return id;
    return 0;
}

bool showsIcon(HWND iconControl) {
    DWORD_PTR handle = 0;
    return iconControl != nullptr &&
           SendMessageTimeoutW(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &handle) && handle != 0;
}

// A 32-bit top-down bitmap selected into a memory DC, for grabbing and drawing icons.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (bitmap_ != nullptr) old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        if (bitmap_ != nullptr) {
            SelectObject(dc_, old_);
            DeleteObject(bitmap_);
        }
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool valid() const { return bits_ != nullptr; }
    HDC dc() const { return dc_; }

    // The colour bits alone: what the screen gives back in the fourth byte is not defined.
    std::vector<uint32_t> pixels() const {
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits_);
        std::vector<uint32_t> out(p, p + static_cast<size_t>(width_) * height_);
        for (uint32_t& pixel : out) pixel &= 0x00FFFFFF;
        return out;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};

// Icon handles belong to the process that loaded them, so the updater's icon cannot be
// compared by handle. Instead the icon's pixels on screen are compared with each stock icon
// drawn here on the same background. Empty while no stock icon matches (not painted yet).
std::string recogniseIcon(HWND iconControl) {
    RECT rect;
    if (!GetWindowRect(iconControl, &rect)) return {};
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return {};
    Canvas shown(width, height);
    if (!shown.valid()) return {};
    HDC screen = GetDC(nullptr);
    BitBlt(shown.dc(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    const std::vector<uint32_t> onScreen = shown.pixels();
    // No stock icon covers its top-left corner, so that pixel is the background.
    const uint32_t corner = onScreen.front();
    const COLORREF background = RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF);
    for (const StockIcon& stock : stockIcons) {
        HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(stock.resource));
        Canvas drawn(width, height);
        if (icon == nullptr || !drawn.valid()) continue;
        RECT all = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(background);
        FillRect(drawn.dc(), &all, brush);
        DeleteObject(brush);
        DrawIconEx(drawn.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
        if (drawn.pixels() == onScreen) return stock.name;
    }
    return {};
}

// ---------------------------------------------------------------- finding boxes

struct Search {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK collectBox(HWND window, LPARAM context) {
    Search& search = *reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && className(window) == L"#32770" && IsWindowVisible(window))
        search.found.push_back(window);
    return TRUE;
}

std::vector<HWND> shownBoxes(DWORD processId) {
    Search search{processId, {}};
    EnumWindows(collectBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---------------------------------------------------------------- command line

// The quoting that the C runtime's argument splitting undoes, so that each argument reaches
// the updater's command line as one word.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
        else out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

std::vector<std::wstring> split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) return parts;
        start = end + 1;
    }
}

struct Job {
    std::wstring workingDirectory;
    std::vector<std::string> answers;
    std::wstring commandLine;
};

bool parseAnswers(const std::wstring& list, std::vector<std::string>& answers) {
    answers.clear();
    if (list.empty()) return true;
    for (const std::wstring& item : split(list, L',')) {
        const std::string answer = toUtf8(item);
        if (answer != "default" && answer != "leave" && buttonId(answer) == 0) return false;
        answers.push_back(answer);
    }
    return true;
}

bool readJobs(const std::wstring& path, std::vector<Job>& jobs, std::string& problem) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        problem = "cannot open the job file";
        return false;
    }
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    std::wstring text(bytes.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                      static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    for (std::wstring line : split(text, L'\n')) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.empty()) continue;
        const std::vector<std::wstring> fields = split(line, L'\t');
        Job job;
        if (fields.size() != 4 || fields[3].empty() || !parseAnswers(fields[1], job.answers)) {
            problem = "bad job line: " + toUtf8(line);
            return false;
        }
        job.workingDirectory = fields[0];
        job.commandLine = quoted(fields[3]) + (fields[2].empty() ? L"" : L" " + fields[2]);
        jobs.push_back(job);
    }
    return true;
}

bool parseOptions(int argc, wchar_t** argv, std::vector<Job>& jobs, DWORD& timeoutSeconds, std::string& problem) {
    Job single;
    std::wstring jobFile, arguments;
    bool rawArguments = false;
    int i = 1;
    for (; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--") break;
        if (i + 1 >= argc) {
            problem = "an option lacks its value";
            return false;
        }
        const std::wstring value = argv[++i];
        if (option == L"--answers") {
            if (!parseAnswers(value, single.answers)) {
                problem = "unknown answer in " + toUtf8(value);
                return false;
            }
        } else if (option == L"--cwd") {
            single.workingDirectory = value;
        } else if (option == L"--arguments") {
            arguments = value;
            rawArguments = true;
        } else if (option == L"--timeout") {
            timeoutSeconds = static_cast<DWORD>(_wtoi(value.c_str()));
        } else if (option == L"--jobs") {
            jobFile = value;
        } else {
            problem = "unknown option " + toUtf8(option);
            return false;
        }
    }
    if (!jobFile.empty()) {
        if (i < argc) {
            problem = "--jobs takes no program";
            return false;
        }
        return readJobs(jobFile, jobs, problem);
    }
    if (i + 1 >= argc) {
        problem = "no program given after --";
        return false;
    }
    if (rawArguments && i + 2 < argc) {
        problem = "--arguments and arguments after the program exclude each other";
        return false;
    }
    single.commandLine = quoted(argv[i + 1]);
    if (!arguments.empty()) single.commandLine += L" " + arguments;
    for (int k = i + 2; k < argc; ++k) single.commandLine += L" " + quoted(argv[k]);
    jobs.push_back(single);
    return true;
}

// ---------------------------------------------------------------- one box

// Reads the box, presses the button for `answer` and returns the report line.
std::string answerBox(const Box& box, const std::string& answer, ULONGLONG iconDeadline, HANDLE process) {
    std::string line = "\"caption\": " + jsonString(toUtf8(windowText(box.window)));
    std::string text = box.textControl ? toUtf8(windowText(box.textControl)) : "";
    if (box.progress) {
        text.clear();
        for (HWND control : box.lines) text += (text.empty() ? "" : "\n") + toUtf8(windowText(control));
    }
    line += ", \"text\": " + jsonString(text);
    line += ", \"buttons\": [";
    bool first = true;
    for (const auto& [id, button] : box.buttons) {
        const char* name = buttonName(id);
        line += std::string(first ? "" : ", ") + jsonString(name ? name : "unknown");
        first = false;
    }
    line += "]";
    const int defaultId = defaultButton(box);
    line += ", \"default\": " + (buttonName(defaultId) ? jsonString(buttonName(defaultId)) : std::string("null"));

    if (!showsIcon(box.iconControl)) {
        line += ", \"icon\": \"none\"";
    } else {
        // The box may be on screen before it has painted: wait for a stock icon to appear,
        // up to a limit, after which the icon is some other picture or none was painted.
        std::string icon;
        for (;;) {
            icon = recogniseIcon(box.iconControl);
            if (!icon.empty() || GetTickCount64() >= iconDeadline) break;
            if (WaitForSingleObject(process, pollMilliseconds) == WAIT_OBJECT_0) break;
        }
        line += ", \"icon\": " + jsonString(icon.empty() ? "unknown" : icon);
    }

    if (answer == "leave") return line + ", \"pressed\": null";
    int pressId = answer == "default" ? defaultId : buttonId(answer);
    HWND pressButton = nullptr;
    for (const auto& [id, button] : box.buttons)
        if (id == pressId) pressButton = button;
    if (pressButton == nullptr) {
        // Pressing a button the box does not show would make it return an answer no user
        // could give; the default button keeps the run realistic, and the report says so.
        pressId = defaultId;
        for (const auto& [id, button] : box.buttons)
            if (id == pressId) pressButton = button;
    }
    if (pressButton == nullptr && !box.buttons.empty()) {
        pressId = box.buttons.front().first;
        pressButton = box.buttons.front().second;
    }
    line += ", \"pressed\": " + (buttonName(pressId) ? jsonString(buttonName(pressId)) : std::string("null"));
    PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(pressId, BN_CLICKED), reinterpret_cast<LPARAM>(pressButton));
    return line;
}

// ---------------------------------------------------------------- one run

enum class JobEnd { exited, timedOut, notStarted };

// Runs one program to its end, answering its boxes; every report line names the job.
JobEnd runJob(size_t number, const Job& job, DWORD timeoutSeconds) {
    const std::string tag = "{\"job\": " + std::to_string(number) + ", ";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    std::wstring commandLine = job.commandLine;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        job.workingDirectory.empty() ? nullptr : job.workingDirectory.c_str(), &startup, &child)) {
        emitLine(tag + "\"error\": \"cannot start the program\", \"code\": " + std::to_string(GetLastError()) + "}");
        return JobEnd::notStarted;
    }
    CloseHandle(child.hThread);

    const ULONGLONG started = GetTickCount64();
    const ULONGLONG deadline = started + static_cast<ULONGLONG>(timeoutSeconds) * 1000;
    size_t nextAnswer = 0;
    std::set<HWND> pressed;  // boxes answered but perhaps not yet gone
    JobEnd end = JobEnd::exited;
    for (;;) {
        if (WaitForSingleObject(child.hProcess, pollMilliseconds) == WAIT_OBJECT_0) break;
        if (GetTickCount64() >= deadline) {
            TerminateProcess(child.hProcess, 1);
            WaitForSingleObject(child.hProcess, INFINITE);
            emitLine(tag + "\"error\": \"timeout\", \"seconds\": " + std::to_string(timeoutSeconds) + "}");
            end = JobEnd::timedOut;
            break;
        }
        for (auto it = pressed.begin(); it != pressed.end();)
            it = IsWindow(*it) ? std::next(it) : pressed.erase(it);
        for (HWND window : shownBoxes(child.dwProcessId)) {
            if (pressed.count(window)) continue;
            const Box box = inspect(window);
            // Buttons appear with the box's initialisation; a box without them is not ready.
            if (box.buttons.empty()) continue;
            const std::string answer = nextAnswer < job.answers.size() ? job.answers[nextAnswer] : "default";
            ++nextAnswer;
            const ULONGLONG iconDeadline = GetTickCount64() + iconPaintMilliseconds;
            const std::string after = ", \"after_ms\": " + std::to_string(GetTickCount64() - started);
            emitLine(tag + answerBox(box, answer, iconDeadline < deadline ? iconDeadline : deadline, child.hProcess) +
                     after + "}");
            pressed.insert(window);
        }
    }
    if (end == JobEnd::exited) {
        DWORD exitCode = 0;
        GetExitCodeProcess(child.hProcess, &exitCode);
        emitLine(tag + "\"exit_code\": " + std::to_string(exitCode) + "}");
    }
    CloseHandle(child.hProcess);
    return end;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<Job> jobs;
    DWORD timeoutSeconds = defaultTimeoutSeconds;
    std::string problem = "bad command line";
    if (argv == nullptr || !parseOptions(argc, argv, jobs, timeoutSeconds, problem)) {
        emitLine("{\"error\": " + jsonString(problem) + "}");
        return 2;
    }
    LocalFree(argv);
    int status = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        const JobEnd end = runJob(i, jobs[i], timeoutSeconds);
        if (end == JobEnd::timedOut) status = 3;
        if (end == JobEnd::notStarted && status == 0) status = 4;
    }
    return status;
}
