#include "app/win32/prompt_dialogs.h"

#include "app/win32/resource_ids.h"

namespace rm525::wingui {

namespace {

// What a dialog's procedure needs, handed over in WM_INITDIALOG.
struct DialogData {
    const std::wstring* text = nullptr;  // control 100's text (prompts)
    const Placer* placer = nullptr;
    int16_t port = 0;  // the port dialog's choice
};

DialogData* DataOf(HWND dialog) {
    return reinterpret_cast<DialogData*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void InitDialog(HWND dialog, LPARAM lParam) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    const DialogData* data = DataOf(dialog);
    if (data != nullptr && data->text != nullptr) {
        SetDlgItemTextW(dialog, IDC_MESSAGE, data->text->c_str());
    }
    if (data != nullptr && data->placer != nullptr && *data->placer) {
        (*data->placer)(dialog);
    }
}

INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    if (HandleDialogCommon(dialog, message, wParam, &result)) {
        return result;
    }
    switch (message) {
        case WM_INITDIALOG:
            InitDialog(dialog, lParam);
            return TRUE;  // the focus goes to the default button
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK PortProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    if (HandleDialogCommon(dialog, message, wParam, &result)) {
        return result;
    }
    switch (message) {
        case WM_INITDIALOG:
            CheckRadioButton(dialog, IDC_PORT_AUTO, IDC_PORT_COM9, IDC_PORT_AUTO);
            InitDialog(dialog, lParam);
            return TRUE;  // the focus goes to OK: Enter at once accepts AUTO
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                for (int id = IDC_PORT_AUTO; id <= IDC_PORT_COM9; ++id) {
                    if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) {
                        DataOf(dialog)->port = static_cast<int16_t>(id - IDC_PORT_AUTO);
                        break;
                    }
                }
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

bool HandleDialogCommon(HWND dialog, UINT message, WPARAM wParam, INT_PTR* result) {
    if (const HBRUSH brush = DialogLookBrush(message, wParam)) {
        *result = reinterpret_cast<INT_PTR>(brush);
        return true;
    }
    if (KeepBusyCursor(message)) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        *result = TRUE;
        return true;
    }
    // The default would turn a close into IDCANCEL: a Quit nobody chose.
    if (message == WM_CLOSE || (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)) {
        *result = TRUE;
        return true;
    }
    return false;
}

int PromptTemplate(PromptKind kind) {
    switch (kind) {
        case PromptKind::Continue:
            return IDD_CONTINUE;
        case PromptKind::Reselect:
            return IDD_RESELECT;
        case PromptKind::Success:
            return IDD_SUCCESS;
        case PromptKind::Failure:
            return IDD_FAILURE;
        case PromptKind::NoCamera:
            return IDD_NO_CAMERA;
    }
    return IDD_FAILURE;
}

INT_PTR RunPromptDialog(HWND owner, int templateId, const std::wstring& text,
                        const Placer& placer) {
    DialogData data;
    data.text = &text;
    data.placer = &placer;
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner,
                           PromptProc, reinterpret_cast<LPARAM>(&data));
}

bool RunPortDialog(HWND owner, const Placer& placer, int16_t* port) {
    DialogData data;
    data.placer = &placer;
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PORT),
                                           owner, PortProc, reinterpret_cast<LPARAM>(&data));
    if (result != IDOK) {
        return false;
    }
    *port = data.port;
    return true;
}

void RunAboutBox(HWND owner) {
    DialogData data;
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, PromptProc,
                    reinterpret_cast<LPARAM>(&data));
}

}  // namespace rm525::wingui
