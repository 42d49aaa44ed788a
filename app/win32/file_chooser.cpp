#include "app/win32/file_chooser.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "link/win32/win32_text.h"
#include "workflow/front_end.h"

namespace rm525::wingui {

namespace {

// Long paths included (\\?\ and the like): the system writes no further.
constexpr DWORD kPathChars = 32768;

UINT_PTR CALLBACK ChooserHook(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
        SetWindowLongPtrW(hook, GWLP_USERDATA, static_cast<LONG_PTR>(ofn->lCustData));
        return 0;
    }
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE) {
        // After the chooser's own initialisation: the hook's parent is the
        // chooser window itself.
        const auto* placer =
            reinterpret_cast<const Placer*>(GetWindowLongPtrW(hook, GWLP_USERDATA));
        if (placer != nullptr && *placer) {
            (*placer)(GetParent(hook));
        }
    }
    return 0;
}

}  // namespace

std::wstring ChooserFilter(const std::string& filter) {
    std::wstring out;
    size_t start = 0;
    std::vector<std::wstring> parts;
    while (start <= filter.size()) {
        const size_t bar = filter.find('|', start);
        if (bar == std::string::npos) {
            break;
        }
        parts.push_back(win32::Widen(filter.substr(start, bar - start)));
        start = bar + 1;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) {
            break;  // "||" ends the list
        }
        out += parts[i];
        out += L'\0';
        out += parts[i + 1];
        out += L'\0';
    }
    out += L'\0';
    return out;
}

int16_t ChooseFile(HWND owner, const std::string& filter, const std::string& initialName,
                   const Placer& placer, std::string* path) {
    const std::wstring filterText = ChooserFilter(filter);
    std::vector<wchar_t> file(kPathChars, L'\0');
    const std::wstring initial = win32::Widen(initialName);
    initial.copy(file.data(), std::min<size_t>(initial.size(), kPathChars - 1));

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filterText.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathChars;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLEHOOK;
    ofn.lpfnHook = ChooserHook;
    ofn.lCustData = reinterpret_cast<LPARAM>(&placer);
    if (GetOpenFileNameW(&ofn)) {
        *path = win32::Narrow(file.data());
        return choose_result::kChosen;
    }
    return CommDlgExtendedError() == 0 ? choose_result::kCancelled : choose_result::kFailed;
}

}  // namespace rm525::wingui
