// The Windows dialog from the program's resources: a list view with check boxes whose greyed
// lines keep their mark and cannot be toggled, OK (default) and Cancel, the About item in the
// system menu, the icon drawn while minimized, and message boxes owned by the dialog.
#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <vector>

#include "deploy_dialog.h"
#include "program_screen.h"
#include "resource.h"

namespace {

UINT BoxStyle(const MessageRequest& message) {
    UINT style = message.buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
    switch (message.icon) {
        case MessageIcon::Stop:
            style |= MB_ICONSTOP;
            break;
        case MessageIcon::Exclamation:
            style |= MB_ICONEXCLAMATION;
            break;
        case MessageIcon::Question:
            style |= MB_ICONQUESTION;
            break;
        case MessageIcon::Information:
            style |= MB_ICONINFORMATION;
            break;
        case MessageIcon::None:
            break;
    }
    return style;
}

MessageAnswer Show(HWND owner, const MessageRequest& message) {
    const int answer =
        MessageBoxA(owner, message.text.c_str(), message.caption.c_str(), BoxStyle(message));
    return answer == IDYES  ? MessageAnswer::Yes
           : answer == IDNO ? MessageAnswer::No
                            : MessageAnswer::Ok;
}

HICON ProgramIcon() {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

INT_PTR CALLBACK AboutProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(window, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

class DialogView final : public DeployView {
  public:
    DialogView(SiteCatalog& catalog, const ProfileReader& config, Machine& machine)
        : logic_(*this, catalog, config, machine) {}

    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrA(window, DWLP_USER, lParam);
            auto* view = reinterpret_cast<DialogView*>(lParam);
            view->Attach(window);
            return TRUE;
        }
        auto* view = reinterpret_cast<DialogView*>(GetWindowLongPtrA(window, DWLP_USER));
        return view ? view->Handle(message, wParam, lParam) : FALSE;
    }

    // DeployView.
    void AddAboutItem(const std::string& text) override {
        if (text.empty()) return;
        HMENU menu = GetSystemMenu(window_, FALSE);
        if (menu == nullptr) return;
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, DeployDialog::kAboutCommand, text.c_str());
    }
    void SetIcons() override {
        icon_ = ProgramIcon();
        SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    }
    void SetTitle(const std::string& title) override { SetWindowTextA(window_, title.c_str()); }
    void AddLine(const std::string& text, bool checked) override {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(greyed_.size());
        item.pszText = const_cast<char*>(text.c_str());
        greyed_.push_back(false);
        programmatic_ = true;
        const int index = static_cast<int>(
            SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        ListView_SetCheckState(list_, index, checked);
        programmatic_ = false;
    }
    std::size_t LineCount() const override {
        return static_cast<std::size_t>(ListView_GetItemCount(list_));
    }
    bool IsChecked(std::size_t line) const override {
        return ListView_GetCheckState(list_, static_cast<int>(line)) != FALSE;
    }
    void SetGreyed(std::size_t line, bool greyed) override {
        if (line >= greyed_.size() || greyed_[line] == greyed) return;
        greyed_[line] = greyed;
        ListView_RedrawItems(list_, static_cast<int>(line), static_cast<int>(line));
    }
    MessageAnswer ShowMessage(const MessageRequest& message) override {
        return Show(window_, message);
    }
    void ShowWaitCursor() override { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }
    void ShowArrowCursor() override { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }
    void ShowAbout() override {
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), window_,
                        AboutProc, 0);
    }
    void Close() override { EndDialog(window_, IDOK); }

  private:
    void Attach(HWND window) {
        window_ = window;
        list_ = GetDlgItem(window, IDC_SITES);
        ListView_SetExtendedListViewStyle(list_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        RECT area;
        GetClientRect(list_, &area);
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH;
        column.cx = area.right - area.left - GetSystemMetrics(SM_CXVSCROLL);
        SendMessageA(list_, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        logic_.Open();
    }

    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_COMMAND:
                if (LOWORD(wParam) == IDOK) {
                    logic_.Apply();
                    return TRUE;
                }
                if (LOWORD(wParam) == IDCANCEL) {
                    logic_.Cancel();
                    return TRUE;
                }
                return FALSE;
            case WM_SYSCOMMAND:
                return logic_.SystemCommand(static_cast<unsigned>(wParam)) ? TRUE : FALSE;
            case WM_NOTIFY:
                return Notify(*reinterpret_cast<NMHDR*>(lParam));
            case WM_PAINT:
                return PaintMinimized();
            case WM_QUERYDRAGICON:
                return reinterpret_cast<INT_PTR>(icon_);
            default:
                return FALSE;
        }
    }

    static bool CheckChanged(const NMLISTVIEW& change) {
        return (change.uChanged & LVIF_STATE) &&
               ((change.uOldState ^ change.uNewState) & LVIS_STATEIMAGEMASK) &&
               (change.uOldState & LVIS_STATEIMAGEMASK) != 0;
    }

    INT_PTR Notify(const NMHDR& header) {
        if (header.hwndFrom != list_) return FALSE;
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if (header.code == LVN_ITEMCHANGING && !programmatic_ && CheckChanged(change) &&
            change.iItem >= 0 && static_cast<std::size_t>(change.iItem) < greyed_.size() &&
            greyed_[change.iItem]) {
            // A greyed line keeps its mark: refuse the change from a click or the space bar.
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        if (header.code == LVN_ITEMCHANGED && !programmatic_ && CheckChanged(change)) {
            logic_.UpdateSiteStates();
            return TRUE;
        }
        if (header.code == NM_CUSTOMDRAW) {
            auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(const_cast<NMHDR&>(header));
            LONG_PTR result = CDRF_DODEFAULT;
            if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
                result = CDRF_NOTIFYITEMDRAW;
            } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT &&
                       draw.nmcd.dwItemSpec < greyed_.size() && greyed_[draw.nmcd.dwItemSpec]) {
                draw.clrText = GetSysColor(COLOR_GRAYTEXT);
            }
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return FALSE;
    }

    INT_PTR PaintMinimized() {
        if (!IsIconic(window_)) return FALSE;
        PAINTSTRUCT paint;
        HDC context = BeginPaint(window_, &paint);
        SendMessageA(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(context), 0);
        RECT area;
        GetClientRect(window_, &area);
        const int x = (area.right - area.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (area.bottom - area.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(context, x, y, icon_);
        EndPaint(window_, &paint);
        return TRUE;
    }

    DeployDialog logic_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    HICON icon_ = nullptr;
    std::vector<bool> greyed_;
    bool programmatic_ = false;
};

}  // namespace

void ProgramScreen::ShowStartupMessage(const MessageRequest& message) { Show(nullptr, message); }

bool ProgramScreen::RunDeployDialog(SiteCatalog& catalog, const ProfileReader& config,
                                    Machine& machine) {
    INITCOMMONCONTROLSEX controls{.dwSize = sizeof(INITCOMMONCONTROLSEX),
                                  .dwICC = ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    DialogView view(catalog, config, machine);
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DEPLOY), nullptr,
                           DialogView::Proc, reinterpret_cast<LPARAM>(&view)) != -1;
}
