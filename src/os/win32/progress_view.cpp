// The progress window on Windows: the system's task dialog with a progress bar and a Cancel
// button, on a thread of its own. A task dialog, not the shell's progress dialog: its Cancel
// can be heard without ending anything, so the run asks its question and, answered No, goes
// on under the same window; the shell's dialog knows a cancel only as final. The work never
// waits for the window: it leaves the latest lines under a lock, and the window's thread
// takes them at each tick of the dialog's timer (five times a second). The taskbar button
// shows the same progress. Only Win32 code belongs here.
#include "os/progress_view.h"

#include <windows.h>

#include <commctrl.h>
#include <shobjidl.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "os/win32/wide.h"

namespace os {

namespace {

// The columns of the file line: the dialog is as wide as a path of this length needs.
constexpr size_t itemColumns = 64;
constexpr UINT marqueeSpeedMs = 30;

std::wstring contentOf(const ProgressLines& lines) {
    return detail::widen(shortenedInTheMiddle(lines.item, itemColumns) + "\n" + lines.amounts);
}

class TaskDialogView final : public ProgressView {
public:
    explicit TaskDialogView(const std::string& caption) : caption_(detail::widen(caption)) {}

    ~TaskDialogView() override {
        closing_ = true;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // Clicking its own Cancel is how a task dialog is closed from outside; the
            // callback lets it close once the view is closing.
            if (window_) PostMessageW(window_, TDM_CLICK_BUTTON, IDCANCEL, 0);
        }
        if (thread_.joinable()) thread_.join();
    }

    void show(const ProgressLines& lines) override {
        HWND shownAgain = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            pending_ = lines;
            changed_ = true;
            if (!thread_.joinable()) {
                thread_ = std::thread([this] { run(); });
                hidden_ = false;
                // The first drawing is the window's creation: the work goes on once it stands
                // (or could not be made), so that a box shown next always finds it to hide.
                created_.wait(lock, [this] { return window_ != nullptr || ended_; });
                return;
            }
            if (window_ && hidden_) shownAgain = window_;
            hidden_ = false;
        }
        // Outside the lock: the window's thread may be waiting for it, and this waits for that thread.
        // SW_SHOWNA: a window the user minimized stays minimized.
        if (shownAgain) ShowWindow(shownAgain, SW_SHOWNA);
    }

    void hide() override {
        HWND window = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!hidden_) window = window_;
            hidden_ = true;
        }
        // Gone before hide returns, as the box that follows must stand alone (outside the lock: see show).
        if (window) ShowWindow(window, SW_HIDE);
    }

    bool keptBetweenCommands() const override { return true; }
    bool cancelPressed() override { return cancel_.exchange(false); }

private:
    void run() {
        // The taskbar's COM object lives in this thread's own apartment; a failure leaves the
        // button without progress, the window the same.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        ProgressLines first;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            first = pending_;
            changed_ = false;
        }
        const std::wstring instruction = detail::widen(first.action);
        const std::wstring content = contentOf(first);
        TASKDIALOGCONFIG config = {};
        config.cbSize = sizeof config;
        config.hInstance = GetModuleHandleW(nullptr);
        config.dwFlags = TDF_SHOW_PROGRESS_BAR | TDF_CALLBACK_TIMER | TDF_ALLOW_DIALOG_CANCELLATION |
                         TDF_CAN_BE_MINIMIZED | TDF_POSITION_RELATIVE_TO_WINDOW;
        config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
        config.pszWindowTitle = caption_.c_str();
        config.pszMainInstruction = instruction.c_str();
        config.pszContent = content.c_str();
        config.pfCallback = callback;
        config.lpCallbackData = reinterpret_cast<LONG_PTR>(this);
        first_ = first;
        // What the dialog answers is of no use: it ends only when the view closes it.
        (void)TaskDialogIndirect(&config, nullptr, nullptr, nullptr);  // see above
        if (taskbar_) taskbar_->Release();
        taskbar_ = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            window_ = nullptr;
            ended_ = true;
        }
        created_.notify_all();
        if (SUCCEEDED(com)) CoUninitialize();
    }

    static HRESULT CALLBACK callback(HWND window, UINT notification, WPARAM wParam, LPARAM, LONG_PTR data) {
        auto& view = *reinterpret_cast<TaskDialogView*>(data);
        switch (notification) {
        case TDN_CREATED: {
            void* taskbar = nullptr;
            if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                           &taskbar))) {
                view.taskbar_ = static_cast<ITaskbarList3*>(taskbar);
                if (FAILED(view.taskbar_->HrInit())) {
                    view.taskbar_->Release();
                    view.taskbar_ = nullptr;
                }
            }
            view.draw(window, view.first_);
            {
                std::lock_guard<std::mutex> lock(view.mutex_);
                view.window_ = window;
            }
            view.created_.notify_all();
            // Closed before it stood: it goes at once.
            if (view.closing_) PostMessageW(window, TDM_CLICK_BUTTON, IDCANCEL, 0);
            return S_OK;
        }
        case TDN_TIMER: {
            ProgressLines lines;
            {
                std::lock_guard<std::mutex> lock(view.mutex_);
                // The dialog shows itself once when its queue first runs empty, which may come
                // after a hide: the hide is kept here.
                if (view.hidden_ && IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
                if (!view.changed_) return S_OK;
                lines = view.pending_;
                view.changed_ = false;
            }
            view.draw(window, lines);
            return S_OK;
        }
        case TDN_BUTTON_CLICKED:
            if (view.closing_) return S_OK;
            // The run asks whether to stop at its next boundary; the window stays meanwhile.
            if (wParam == IDCANCEL) view.cancel_ = true;
            return S_FALSE;
        default: return S_OK;
        }
    }

    // On the window's thread.
    void draw(HWND window, const ProgressLines& lines) {
        const std::wstring instruction = detail::widen(lines.action);
        const std::wstring content = contentOf(lines);
        SendMessageW(window, TDM_SET_ELEMENT_TEXT, TDE_MAIN_INSTRUCTION, reinterpret_cast<LPARAM>(instruction.c_str()));
        SendMessageW(window, TDM_SET_ELEMENT_TEXT, TDE_CONTENT, reinterpret_cast<LPARAM>(content.c_str()));
        const bool marquee = lines.percent < 0;
        if (marquee != marquee_) {
            marquee_ = marquee;
            SendMessageW(window, TDM_SET_MARQUEE_PROGRESS_BAR, marquee, 0);
            SendMessageW(window, TDM_SET_PROGRESS_BAR_MARQUEE, marquee, marqueeSpeedMs);
        }
        if (!marquee) SendMessageW(window, TDM_SET_PROGRESS_BAR_POS, static_cast<WPARAM>(lines.percent), 0);
        if (!taskbar_) return;
        // What the taskbar answers changes nothing of the window: a missing button shows none.
        if (marquee) {
            (void)taskbar_->SetProgressState(window, TBPF_INDETERMINATE);  // see above
        } else {
            (void)taskbar_->SetProgressState(window, TBPF_NORMAL);  // see above
            (void)taskbar_->SetProgressValue(window, static_cast<ULONGLONG>(lines.percent), 100);  // see above
        }
    }

    const std::wstring caption_;
    std::mutex mutex_;
    std::condition_variable created_;
    // Under the lock: the window once it stands, whether it ended, the lines to draw next.
    HWND window_ = nullptr;
    bool ended_ = false;
    bool hidden_ = false;
    ProgressLines pending_;
    bool changed_ = false;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> closing_{false};
    std::thread thread_;
    // The window's thread alone.
    ProgressLines first_;
    bool marquee_ = false;
    ITaskbarList3* taskbar_ = nullptr;
};

}  // namespace

std::unique_ptr<ProgressView> openProgressView(const std::string& caption) {
    return std::make_unique<TaskDialogView>(caption);
}

}  // namespace os
