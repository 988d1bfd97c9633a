// zdrive: drives a running ZEVRIK from a test script. It runs in the same
// Wine prefix (and desktop) as the app. It listens on a loopback TCP port,
// prints that port as the first line on stdout, takes one connection, reads
// one command per line from it and answers each with one JSON object per
// line.
//
// Arguments of a command are separated by blanks; each is percent-decoded, so
// "%20" carries a blank. A window is named by a target: "main", "tb"
// (toolbar pane), "term" (terminal pane), "sb" (status bar pane),
// "dlg:<title>" (a top-level dialog of the app), "box" (the first message box
// of the app), "top:<text>" (a top-level window of any program whose caption
// holds the text) or a window handle as a decimal or 0x number.
#include <winsock2.h>
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "zdhook.h"
#include "zdhook_transfer.h"
#include "zdhook_settings.h"

namespace {

const char kMainClass[] = "ProgName";
const char kMainTitle[] = "ZEVRIK";
const char kDialogClass[] = "#32770";
const int kMessageBoxTextId = 0xFFFF;
const UINT kSendTimeoutMs = 5000;

struct App {
    HWND hMain;
    DWORD dwPid;
    DWORD dwTid;
    HHOOK hHook;
    HANDLE hProcess;  // held from attach on, so that the exit code outlives the app
};

App gApp = {nullptr, 0, 0, nullptr, nullptr};

// ---------------------------------------------------------------- JSON out

class Json {
public:
    Json() : m_out("{\"ok\":true") {}
    Json& Int(const char* key, long long value)
    {
        Key(key);
        m_out += std::to_string(value);
        return *this;
    }
    Json& Bool(const char* key, bool value)
    {
        Key(key);
        m_out += value ? "true" : "false";
        return *this;
    }
    Json& Str(const char* key, const std::string& value)
    {
        Key(key);
        Quote(value);
        return *this;
    }
    Json& Raw(const char* key, const std::string& json)
    {
        Key(key);
        m_out += json;
        return *this;
    }
    std::string Done() const { return m_out + "}"; }
    static std::string Quoted(const std::string& value)
    {
        Json j;
        j.m_out.clear();
        j.Quote(value);
        return j.m_out;
    }

private:
    void Key(const char* key)
    {
        m_out += ",\"";
        m_out += key;
        m_out += "\":";
    }
    // Bytes above 0x7F go out as \u00XX so that the reader gets the byte
    // values back whatever the code page.
    void Quote(const std::string& value)
    {
        m_out += '"';
        for (unsigned char c : value) {
            if (c == '"' || c == '\\') {
                m_out += '\\';
                m_out += static_cast<char>(c);
            } else if (c < 0x20 || c >= 0x7F) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                m_out += esc;
            } else {
                m_out += static_cast<char>(c);
            }
        }
        m_out += '"';
    }
    std::string m_out;
};

std::string Error(const std::string& text)
{
    return "{\"ok\":false,\"error\":" + Json::Quoted(text) + "}";
}

// ---------------------------------------------------------------- parsing

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(const std::string& token)
{
    std::string out;
    for (size_t i = 0; i < token.size(); ++i) {
        if (token[i] == '%' && i + 2 < token.size() && HexDigit(token[i + 1]) >= 0 &&
            HexDigit(token[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(token[i + 1]) * 16 + HexDigit(token[i + 2]));
            i += 2;
        } else {
            out += token[i];
        }
    }
    return out;
}

std::vector<std::string> SplitArgs(const std::string& line)
{
    std::vector<std::string> args;
    std::istringstream in(line);
    std::string token;
    while (in >> token) {
        args.push_back(PercentDecode(token));
    }
    return args;
}

long long Number(const std::string& text)
{
    return std::strtoll(text.c_str(), nullptr, 0);
}

// ---------------------------------------------------------------- windows

bool BelongsToApp(HWND hWnd)
{
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    return gApp.dwPid != 0 && dwPid == gApp.dwPid;
}

std::string ClassOf(HWND hWnd)
{
    char achClass[64] = {0};
    GetClassNameA(hWnd, achClass, sizeof achClass);
    return achClass;
}

std::string Narrow(const std::vector<wchar_t>& wide, size_t len)
{
    if (len == 0) return std::string();
    int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(len), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(len), &out[0], size, nullptr, nullptr);
    return out;
}

// Texts are asked for in UTF-16 and turned back into the app's code page:
// Wine carries the 16-bit forms of WM_GETTEXT and CB_GETLBTEXT across
// processes faithfully, the 8-bit form of CB_GETLBTEXT not.
bool AskText(HWND hWnd, UINT uLenMsg, UINT uTextMsg, WPARAM wItem, std::string& text)
{
    DWORD_PTR dwLen = 0;
    if (!SendMessageTimeoutW(hWnd, uLenMsg, wItem, 0, SMTO_NORMAL, kSendTimeoutMs, &dwLen)) return false;
    if (static_cast<LONG_PTR>(dwLen) < 0) return false;
    std::vector<wchar_t> buf(dwLen + 64, L'\0');
    DWORD_PTR dwGot = 0;
    LPARAM lBuf = reinterpret_cast<LPARAM>(buf.data());
    WPARAM wArg = uTextMsg == WM_GETTEXT ? buf.size() : wItem;
    if (!SendMessageTimeoutW(hWnd, uTextMsg, wArg, lBuf, SMTO_NORMAL, kSendTimeoutMs, &dwGot)) return false;
    size_t len = 0;
    while (len < buf.size() && buf[len] != L'\0') ++len;
    text = Narrow(buf, len);
    return true;
}

// WM_GETTEXT is carried across processes; GetWindowText would not ask the
// control of another process for its current text.
bool ReadText(HWND hWnd, std::string& text)
{
    return AskText(hWnd, WM_GETTEXTLENGTH, WM_GETTEXT, 0, text);
}

std::string CaptionOf(HWND hWnd)
{
    char achText[512] = {0};
    GetWindowTextA(hWnd, achText, sizeof achText);
    return achText;
}

bool IsMessageBox(HWND hWnd)
{
    return ClassOf(hWnd) == kDialogClass && GetDlgItem(hWnd, kMessageBoxTextId) != nullptr;
}

std::vector<HWND> gFound;

BOOL CALLBACK CollectAppDialog(HWND hWnd, LPARAM)
{
    if (BelongsToApp(hWnd) && ClassOf(hWnd) == kDialogClass && IsWindowVisible(hWnd)) {
        gFound.push_back(hWnd);
    }
    return TRUE;
}

std::vector<HWND> AppDialogs()
{
    gFound.clear();
    EnumWindows(CollectAppDialog, 0);
    return gFound;
}

HWND DialogByTitle(const std::string& title)
{
    for (HWND hWnd : AppDialogs()) {
        if (!IsMessageBox(hWnd) && CaptionOf(hWnd) == title) return hWnd;
    }
    return nullptr;
}

HWND FirstMessageBox()
{
    for (HWND hWnd : AppDialogs()) {
        if (IsMessageBox(hWnd)) return hWnd;
    }
    return nullptr;
}

// The panes are told apart by what they hold: the toolbar has the ASCII
// radio button 1010, the status bar the summary 1015, the terminal pane its
// edit control 1002 (beside the history and console view 1090).
enum class Pane { Toolbar, Terminal, StatusBar };

bool IsPane(HWND hChild, Pane pane)
{
    if (ClassOf(hChild) != kDialogClass) return false;
    bool bHasAscii = GetDlgItem(hChild, 1010) != nullptr;
    bool bHasSummary = GetDlgItem(hChild, 1015) != nullptr;
    HWND hEdit = GetDlgItem(hChild, 1002);
    bool bHasEdit = hEdit != nullptr && ClassOf(hEdit) == "Edit";
    switch (pane) {
    case Pane::Toolbar: return bHasAscii;
    case Pane::StatusBar: return bHasSummary;
    case Pane::Terminal: return bHasEdit && !bHasAscii && !bHasSummary;
    }
    return false;
}

HWND FindPane(Pane pane)
{
    if (!gApp.hMain) return nullptr;
    for (HWND hChild = GetWindow(gApp.hMain, GW_CHILD); hChild;
         hChild = GetWindow(hChild, GW_HWNDNEXT)) {
        if (IsPane(hChild, pane)) return hChild;
    }
    return nullptr;
}

struct CaptionSearch {
    std::string part;
    HWND hFound;
};

BOOL CALLBACK FindCaption(HWND hWnd, LPARAM lParam)
{
    CaptionSearch* pSearch = reinterpret_cast<CaptionSearch*>(lParam);
    if (IsWindowVisible(hWnd) && CaptionOf(hWnd).find(pSearch->part) != std::string::npos) {
        pSearch->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of any program on the desktop whose caption
// holds `part`: another program shown beside the app for a picture.
HWND TopLevelWith(const std::string& part)
{
    CaptionSearch search = {part, nullptr};
    EnumWindows(FindCaption, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

HWND ResolveTarget(const std::string& name)
{
    if (name == "main") return gApp.hMain;
    if (name == "tb") return FindPane(Pane::Toolbar);
    if (name == "term") return FindPane(Pane::Terminal);
    if (name == "sb") return FindPane(Pane::StatusBar);
    if (name == "box") return FirstMessageBox();
    if (name.compare(0, 4, "dlg:") == 0) return DialogByTitle(name.substr(4));
    if (name.compare(0, 4, "top:") == 0) return TopLevelWith(name.substr(4));
    HWND hWnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(Number(name)));
    return IsWindow(hWnd) ? hWnd : nullptr;
}

// A control of the target, or the target itself for id 0 or no id.
HWND ResolveControl(const std::vector<std::string>& args, size_t at, std::string& error)
{
    if (args.size() <= at) {
        error = "missing target";
        return nullptr;
    }
    HWND hWnd = ResolveTarget(args[at]);
    if (!hWnd) {
        error = "no window " + args[at];
        return nullptr;
    }
    if (args.size() > at + 1 && Number(args[at + 1]) != 0) {
        HWND hCtl = GetDlgItem(hWnd, static_cast<int>(Number(args[at + 1])));
        if (!hCtl) error = "no control " + args[at + 1] + " in " + args[at];
        return hCtl;
    }
    return hWnd;
}

Json& AddRect(Json& json, const RECT& rc)
{
    return json.Int("x", rc.left).Int("y", rc.top).Int("w", rc.right - rc.left).Int("h", rc.bottom - rc.top);
}

// ---------------------------------------------------------------- process

void HoldApp()
{
    if (gApp.hProcess) CloseHandle(gApp.hProcess);
    gApp.hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, gApp.dwPid);
}

// GetProcessHandleCount answers 0 under Wine; the system handle list is
// counted instead.
struct SystemHandleEntry {
    ULONG ulOwnerPid;
    BYTE byObjectType;
    BYTE byFlags;
    USHORT usHandle;
    PVOID pObject;
    ACCESS_MASK dwAccess;
};

struct SystemHandleList {
    ULONG ulCount;
    SystemHandleEntry aEntry[1];
};

long long HandleCount()
{
    typedef LONG(WINAPI * QuerySystemProc)(ULONG, PVOID, ULONG, PULONG);
    const ULONG kSystemHandleInformation = 16;
    HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
    QuerySystemProc pfn = reinterpret_cast<QuerySystemProc>(
        reinterpret_cast<void*>(GetProcAddress(hNtdll, "NtQuerySystemInformation")));
    if (!pfn) return -1;
    std::vector<BYTE> buf(1 << 20);
    ULONG ulNeeded = 0;
    LONG status = pfn(kSystemHandleInformation, buf.data(), static_cast<ULONG>(buf.size()), &ulNeeded);
    for (int tries = 0; status != 0 && ulNeeded > buf.size() && tries < 4; ++tries) {
        buf.resize(ulNeeded * 2);
        status = pfn(kSystemHandleInformation, buf.data(), static_cast<ULONG>(buf.size()), &ulNeeded);
    }
    if (status != 0) return -1;
    const SystemHandleList* pList = reinterpret_cast<const SystemHandleList*>(buf.data());
    long long count = 0;
    for (ULONG i = 0; i < pList->ulCount; ++i) {
        if (pList->aEntry[i].ulOwnerPid == gApp.dwPid) ++count;
    }
    return count;
}

long long ThreadCount()
{
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 te;
    te.dwSize = sizeof te;
    long long count = 0;
    for (BOOL bMore = Thread32First(hSnap, &te); bMore; bMore = Thread32Next(hSnap, &te)) {
        if (te.th32OwnerProcessID == gApp.dwPid) ++count;
    }
    CloseHandle(hSnap);
    return count;
}

// Windows of the app, top-level and child: the USER objects Wine can show
// to another process (its GetGuiResources answers 0).
BOOL CALLBACK CountChild(HWND, LPARAM lParam)
{
    ++*reinterpret_cast<long long*>(lParam);
    return TRUE;
}

BOOL CALLBACK CountAppWindow(HWND hWnd, LPARAM lParam)
{
    if (!BelongsToApp(hWnd)) return TRUE;
    ++*reinterpret_cast<long long*>(lParam);
    EnumChildWindows(hWnd, CountChild, lParam);
    return TRUE;
}

long long WindowCount()
{
    long long count = 0;
    EnumWindows(CountAppWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

long long MicrosecondsNow()
{
    static LARGE_INTEGER freq = {};
    if (freq.QuadPart == 0) QueryPerformanceFrequency(&freq);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1000000 / freq.QuadPart;
}

// ---------------------------------------------------------------- menu hook

// The hook in the app answers into this mapping (see zdhook.h).
HANDLE MenuMapping()
{
    static HANDLE s_hMap = nullptr;
    if (!s_hMap) {
        std::string name = kZdMenuMappingPrefix + std::to_string(GetCurrentProcessId());
        s_hMap = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ZdMenuAnswer),
                                    name.c_str());
    }
    return s_hMap;
}

bool InstallHook()
{
    if (gApp.hHook) UnhookWindowsHookEx(gApp.hHook);
    gApp.hHook = nullptr;
    char achPath[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, achPath, MAX_PATH);
    std::string dll(achPath);
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "zdhook.dll";
    HMODULE hDll = LoadLibraryA(dll.c_str());
    HOOKPROC pfn = nullptr;
    for (const char* pszName : kZdHookProcNames) {
        if (hDll && !pfn) pfn = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hDll, pszName)));
    }
    if (pfn) gApp.hHook = SetWindowsHookExA(WH_CALLWNDPROC, pfn, hDll, gApp.dwTid);
    return gApp.hHook != nullptr;
}

// ---------------------------------------------------------------- commands

typedef std::vector<std::string> Args;

std::string CmdAttach(const Args& args)
{
    long long waitMs = args.size() > 1 ? Number(args[1]) : 0;
    long long until = MicrosecondsNow() + waitMs * 1000;
    HWND hWnd = FindWindowA(kMainClass, kMainTitle);
    while (!hWnd && MicrosecondsNow() < until) {
        Sleep(50);
        hWnd = FindWindowA(kMainClass, kMainTitle);
    }
    if (!hWnd) return Error("main window not found");
    gApp.hMain = hWnd;
    gApp.dwTid = GetWindowThreadProcessId(hWnd, &gApp.dwPid);
    HoldApp();
    bool bHook = InstallHook();
    return Json()
        .Int("hwnd", reinterpret_cast<INT_PTR>(hWnd))
        .Int("pid", gApp.dwPid)
        .Int("tid", gApp.dwTid)
        .Bool("hook", bHook)
        .Done();
}

std::string CmdScreen(const Args&)
{
    return Json().Int("w", GetSystemMetrics(SM_CXSCREEN)).Int("h", GetSystemMetrics(SM_CYSCREEN)).Done();
}

// Window rectangle on the screen and the size of the client area.
std::string CmdRect(const Args& args)
{
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return Error(error);
    RECT rcWnd, rcClient;
    GetWindowRect(hWnd, &rcWnd);
    GetClientRect(hWnd, &rcClient);
    Json json;
    AddRect(json, rcWnd).Int("cw", rcClient.right).Int("ch", rcClient.bottom);
    return json.Done();
}

// Rectangle of a child window in its parent's client coordinates, as the
// parent's MoveWindow gave it.
std::string CmdChildRect(const Args& args)
{
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return Error(error);
    RECT rc;
    GetWindowRect(hWnd, &rc);
    MapWindowPoints(nullptr, GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
    Json json;
    return AddRect(json, rc).Done();
}

std::string CmdWindow(const Args& args)
{
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return Error(error);
    std::string text;
    bool bText = ReadText(hWnd, text);
    Json json;
    json.Int("hwnd", reinterpret_cast<INT_PTR>(hWnd)).Str("class", ClassOf(hWnd)).Str("caption", CaptionOf(hWnd));
    json.Bool("enabled", IsWindowEnabled(hWnd) != FALSE).Bool("visible", IsWindowVisible(hWnd) != FALSE);
    json.Int("style", static_cast<long long>(GetWindowLongA(hWnd, GWL_STYLE) & 0xFFFFFFFFll));
    if (bText) json.Str("text", text);
    if (ClassOf(hWnd) == "Button") {
        DWORD_PTR dwCheck = 0;
        SendMessageTimeoutA(hWnd, BM_GETCHECK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &dwCheck);
        json.Int("check", static_cast<long long>(dwCheck));
    }
    return json.Done();
}

std::string CmdText(const Args& args)
{
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return Error(error);
    std::string text;
    if (!ReadText(hWnd, text)) return Error("WM_GETTEXT timed out");
    return Json().Str("text", text).Done();
}

std::string CmdSetText(const Args& args)
{
    if (args.size() < 4) return Error("usage: settext target id text");
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return Error(error);
    DWORD_PTR dwResult = 0;
    if (!SendMessageTimeoutA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[3].c_str()), SMTO_NORMAL,
                             kSendTimeoutMs, &dwResult)) {
        return Error("WM_SETTEXT timed out");
    }
    return Json().Done();
}

bool SendWait(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, DWORD_PTR& dwResult)
{
    return SendMessageTimeoutA(hWnd, uMsg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &dwResult) != 0;
}

std::string ComboItemText(HWND hCombo, long long index)
{
    std::string text;
    AskText(hCombo, CB_GETLBTEXTLEN, CB_GETLBTEXT, static_cast<WPARAM>(index), text);
    return text;
}

// Count, selection and selected text of a combo box; with a fourth argument
// "items", every item text as well.
std::string CmdCombo(const Args& args)
{
    std::string error;
    HWND hCombo = ResolveControl(args, 1, error);
    if (!hCombo) return Error(error);
    DWORD_PTR dwCount = 0, dwSel = 0;
    if (!SendWait(hCombo, CB_GETCOUNT, 0, 0, dwCount) || !SendWait(hCombo, CB_GETCURSEL, 0, 0, dwSel)) {
        return Error("combo box does not answer");
    }
    long long count = static_cast<int>(dwCount);
    long long sel = static_cast<int>(dwSel);
    Json json;
    json.Int("count", count).Int("sel", sel).Str("seltext", sel >= 0 ? ComboItemText(hCombo, sel) : "");
    if (args.size() > 3 && args[3] == "items") {
        std::string items = "[";
        for (long long i = 0; i < count; ++i) {
            if (i) items += ",";
            items += Json::Quoted(ComboItemText(hCombo, i));
        }
        json.Raw("items", items + "]");
    }
    return json.Done();
}

// Selects an item as the user would: the selection changes and the dialog is
// told with CBN_SELENDOK.
std::string CmdSelect(const Args& args)
{
    if (args.size() < 4) return Error("usage: select target id index");
    std::string error;
    HWND hCombo = ResolveControl(args, 1, error);
    if (!hCombo) return Error(error);
    int id = static_cast<int>(Number(args[2]));
    DWORD_PTR dwResult = 0;
    if (!SendWait(hCombo, CB_SETCURSEL, static_cast<WPARAM>(Number(args[3])), 0, dwResult)) {
        return Error("CB_SETCURSEL timed out");
    }
    if (!SendWait(GetParent(hCombo), WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(hCombo),
                  dwResult)) {
        return Error("CBN_SELENDOK timed out");
    }
    return Json().Int("sel", static_cast<int>(dwResult)).Done();
}

// BM_CLICK is posted: the click may open a modal dialog.
std::string CmdClick(const Args& args)
{
    std::string error;
    HWND hButton = ResolveControl(args, 1, error);
    if (!hButton) return Error(error);
    if (!PostMessageA(hButton, BM_CLICK, 0, 0)) return Error("PostMessage failed");
    return Json().Done();
}

// WM_COMMAND to a window: "send" waits for it to be handled, "post" does not
// (needed when the command opens a modal dialog).
std::string CmdCommand(const Args& args, bool bPost)
{
    if (args.size() < 3) return Error("usage: command|postcommand target id [code]");
    HWND hWnd = ResolveTarget(args[1]);
    if (!hWnd) return Error("no window " + args[1]);
    int id = static_cast<int>(Number(args[2]));
    int code = args.size() > 3 ? static_cast<int>(Number(args[3])) : 0;
    HWND hCtl = GetDlgItem(hWnd, id);
    WPARAM wParam = MAKEWPARAM(id, code);
    LPARAM lParam = hWnd == gApp.hMain ? 0 : reinterpret_cast<LPARAM>(hCtl);
    if (bPost) {
        if (!PostMessageA(hWnd, WM_COMMAND, wParam, lParam)) return Error("PostMessage failed");
        return Json().Done();
    }
    DWORD_PTR dwResult = 0;
    if (!SendWait(hWnd, WM_COMMAND, wParam, lParam, dwResult)) return Error("WM_COMMAND timed out");
    return Json().Int("result", static_cast<long long>(dwResult)).Done();
}

std::string CmdPost(const Args& args)
{
    if (args.size() < 5) return Error("usage: post target msg wparam lparam");
    HWND hWnd = ResolveTarget(args[1]);
    if (!hWnd) return Error("no window " + args[1]);
    if (!PostMessageA(hWnd, static_cast<UINT>(Number(args[2])), static_cast<WPARAM>(Number(args[3])),
                      static_cast<LPARAM>(Number(args[4])))) {
        return Error("PostMessage failed");
    }
    return Json().Done();
}

// "us" is when the key was posted, on the clock of MicrosecondsNow.
std::string CmdChar(const Args& args)
{
    if (args.size() < 3) return Error("usage: char target code");
    HWND hWnd = ResolveTarget(args[1]);
    if (!hWnd) return Error("no window " + args[1]);
    long long posted = MicrosecondsNow();
    if (!PostMessageA(hWnd, WM_CHAR, static_cast<WPARAM>(Number(args[2])), 1)) return Error("PostMessage failed");
    return Json().Int("us", posted).Done();
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Polls a control's text until it ends with `tail`: "waittext target id tail
// timeout_ms". "us" is when it was first seen, on the clock of
// MicrosecondsNow, so that a benchmark can time the screen without a round
// trip to the driver per look.
std::string CmdWaitText(const Args& args)
{
    if (args.size() < 5) return Error("usage: waittext target id tail timeout_ms");
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return Error(error);
    long long until = MicrosecondsNow() + Number(args[4]) * 1000;
    long long looks = 0;
    std::string text;
    for (;;) {
        ++looks;
        if (ReadText(hWnd, text) && EndsWith(text, args[3])) break;
        if (MicrosecondsNow() >= until) return Json().Bool("found", false).Int("looks", looks).Done();
        Sleep(1);  // leaves the app's thread time to show what it has
    }
    return Json().Bool("found", true).Int("us", MicrosecondsNow()).Int("looks", looks).Done();
}

// Asks the hook in the app one question; false when it did not answer.
bool AskHook(const char* pszMessage, WPARAM wParam, ZdMenuAnswer& answer)
{
    if (!gApp.hHook) return false;
    HANDLE hMap = MenuMapping();
    ZdMenuAnswer* pAnswer =
        hMap ? static_cast<ZdMenuAnswer*>(MapViewOfFile(hMap, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ZdMenuAnswer))) : nullptr;
    if (!pAnswer) return false;
    ZeroMemory(pAnswer, sizeof *pAnswer);
    DWORD_PTR dwResult = 0;
    bool bSent = SendMessageTimeoutA(gApp.hMain, RegisterWindowMessageA(pszMessage), wParam,
                                     static_cast<LPARAM>(GetCurrentProcessId()), SMTO_NORMAL, kSendTimeoutMs,
                                     &dwResult) != 0;
    answer = *pAnswer;
    UnmapViewOfFile(pAnswer);
    return bSent && answer.dwAnswered;
}

// Asks the hook about the control named from args[1]; "" when it answered,
// else why not.
std::string AskHookOf(const Args& args, const char* pszMessage, ZdMenuAnswer& answer)
{
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return error;
    return AskHook(pszMessage, reinterpret_cast<WPARAM>(hWnd), answer) ? "" : "the hook did not answer";
}

// A window's vertical scroll bar as the user sees it: where its thumb ends
// and where its range does, asked of the hook (the bar is the app's own).
std::string CmdScrollBar(const Args& args)
{
    ZdMenuAnswer answer;
    const std::string error = AskHookOf(args, kZdScrollMessage, answer);
    if (!error.empty()) return Error(error);
    return Json().Int("thumb_end", answer.dwCommand).Int("range_end", answer.dwState).Done();
}

std::string CmdMenu(const Args& args)
{
    if (args.size() < 2) return Error("usage: menu id");
    if (!gApp.hHook) return Error("hook not installed");
    ZdMenuAnswer answer;
    if (!AskHook(kZdMenuMessage, static_cast<WPARAM>(Number(args[1])), answer)) {
        return Error("the hook did not answer");
    }
    if (answer.dwState == 0xFFFFFFFFu) return Error("no menu item " + args[1]);
    return Json()
        .Int("state", answer.dwState)
        .Bool("grayed", (answer.dwState & (MF_GRAYED | MF_DISABLED)) != 0)
        .Bool("checked", (answer.dwState & MF_CHECKED) != 0)
        .Done();
}

// The cell of a window's font as the app measures it: "fontcell target id".
std::string CmdFontCell(const Args& args)
{
    ZdMenuAnswer answer;
    const std::string error = AskHookOf(args, kZdFontMessage, answer);
    if (!error.empty()) return Error(error);
    return Json().Int("width", LOWORD(answer.dwState)).Int("height", HIWORD(answer.dwState)).Done();
}

std::string ButtonIds(HWND hDlg)
{
    std::string ids = "[";
    for (HWND hChild = GetWindow(hDlg, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT)) {
        if (ClassOf(hChild) != "Button") continue;
        if (ids.size() > 1) ids += ",";
        ids += std::to_string(GetDlgCtrlID(hChild));
    }
    return ids + "]";
}

std::string DialogJson(HWND hDlg)
{
    Json json;
    json.Int("hwnd", reinterpret_cast<INT_PTR>(hDlg)).Str("caption", CaptionOf(hDlg)).Bool("msgbox", IsMessageBox(hDlg));
    if (IsMessageBox(hDlg)) {
        std::string text;
        ReadText(GetDlgItem(hDlg, kMessageBoxTextId), text);
        json.Str("text", text).Raw("buttons", ButtonIds(hDlg));
    }
    DWORD dwTid = GetWindowThreadProcessId(hDlg, nullptr);
    json.Bool("ui_thread", dwTid == gApp.dwTid);
    std::string out = json.Done();
    return "{" + out.substr(std::strlen("{\"ok\":true,"));
}

// Every visible top-level dialog of the app, message boxes included.
std::string CmdDialogs(const Args&)
{
    std::string list = "[";
    for (HWND hDlg : AppDialogs()) {
        if (list.size() > 1) list += ",";
        list += DialogJson(hDlg);
    }
    return Json().Raw("dialogs", list + "]").Done();
}

// Presses a button of a dialog or message box as its click would.
std::string CmdPress(const Args& args)
{
    if (args.size() < 3) return Error("usage: press target id");
    HWND hDlg = ResolveTarget(args[1]);
    if (!hDlg) return Error("no window " + args[1]);
    int id = static_cast<int>(Number(args[2]));
    HWND hButton = GetDlgItem(hDlg, id);
    if (!hButton) return Error("no button " + args[2]);
    if (!PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hButton))) {
        return Error("PostMessage failed");
    }
    return Json().Done();
}

// Round trip of a WM_NULL through the main window's message queue.
std::string CmdPing(const Args& args)
{
    UINT uTimeout = args.size() > 1 ? static_cast<UINT>(Number(args[1])) : 200;
    if (!gApp.hMain) return Error("not attached");
    DWORD_PTR dwResult = 0;
    long long start = MicrosecondsNow();
    LRESULT lr = SendMessageTimeoutA(gApp.hMain, WM_NULL, 0, 0, SMTO_NORMAL, uTimeout, &dwResult);
    long long took = MicrosecondsNow() - start;
    return Json().Bool("answered", lr != 0).Int("us", took).Int("now", MicrosecondsNow()).Done();
}

// Liveness, exit code, handle, thread, window and (through the hook) GDI
// object counts of the app. Its CPU time is
// not here: under Wine, GetProcessTimes on another process does not report
// the time its threads used (the tests read it from Linux instead).
std::string CmdProc(const Args&)
{
    HANDLE hProc = gApp.hProcess;
    if (!hProc) return Error("the app's process cannot be opened");
    DWORD dwExit = 0;
    GetExitCodeProcess(hProc, &dwExit);
    Json json;
    json.Bool("alive", dwExit == STILL_ACTIVE).Int("handles", HandleCount()).Int("threads", ThreadCount());
    json.Int("windows", WindowCount());
    ZdMenuAnswer gdi;
    if (dwExit == STILL_ACTIVE && AskHook(kZdGdiMessage, 0, gdi)) json.Int("gdi", gdi.dwState);
    if (dwExit != STILL_ACTIVE) json.Int("exit_code", dwExit);
    return json.Done();
}

// Ends the app at once, for a test that leaves it in a state it cannot be
// closed from (or that does not care how it ends).
std::string CmdTerminate(const Args&)
{
    HANDLE hProc = gApp.hProcess;
    if (!hProc) return Error("the app's process cannot be opened");
    BOOL bDone = TerminateProcess(hProc, 1);
    WaitForSingleObject(hProc, 10000);
    return Json().Bool("was_running", bDone != FALSE).Done();
}

// Moves and sizes a window the way a user's drag would be asked for, then
// reads back what the window accepted.
std::string CmdSetPos(const Args& args)
{
    if (args.size() < 6) return Error("usage: setpos target x y w h");
    HWND hWnd = ResolveTarget(args[1]);
    if (!hWnd) return Error("no window " + args[1]);
    SetWindowPos(hWnd, nullptr, static_cast<int>(Number(args[2])), static_cast<int>(Number(args[3])),
                 static_cast<int>(Number(args[4])), static_cast<int>(Number(args[5])),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rc;
    GetWindowRect(hWnd, &rc);
    Json json;
    return AddRect(json, rc).Done();
}

// Colour of one pixel of a window's client area, as the screen shows it.
std::string CmdPixel(const Args& args)
{
    if (args.size() < 5) return Error("usage: pixel target id x y");
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return Error(error);
    POINT pt = {static_cast<LONG>(Number(args[3])), static_cast<LONG>(Number(args[4]))};
    ClientToScreen(hWnd, &pt);
    HDC hDc = GetDC(nullptr);
    COLORREF cr = GetPixel(hDc, pt.x, pt.y);
    ReleaseDC(nullptr, hDc);
    if (cr == CLR_INVALID) return Error("pixel not readable");
    return Json().Int("r", GetRValue(cr)).Int("g", GetGValue(cr)).Int("b", GetBValue(cr)).Done();
}

struct Ink {
    long long red = 0, dark = 0;
    unsigned int hash = 2166136261u;
};

// Reads a window's pixels as the screen shows them; false when it cannot.
bool ReadInk(HWND hWnd, Ink& ink)
{
    RECT rc;
    GetClientRect(hWnd, &rc);
    POINT pt = {0, 0};
    ClientToScreen(hWnd, &pt);
    if (rc.right <= 0 || rc.bottom <= 0) return false;
    BITMAPINFO bmi;
    ZeroMemory(&bmi, sizeof bmi);
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = rc.right;
    bmi.bmiHeader.biHeight = -rc.bottom;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pvBits = nullptr;
    HDC hScreen = GetDC(nullptr);
    HDC hMem = CreateCompatibleDC(hScreen);
    HBITMAP hBmp = CreateDIBSection(hScreen, &bmi, DIB_RGB_COLORS, &pvBits, nullptr, 0);
    HGDIOBJ hOld = hBmp ? SelectObject(hMem, hBmp) : nullptr;
    BOOL bCopied = hBmp && BitBlt(hMem, 0, 0, rc.right, rc.bottom, hScreen, pt.x, pt.y, SRCCOPY);
    GdiFlush();
    ink = Ink();
    const BYTE* pby = static_cast<const BYTE*>(pvBits);
    for (LONG i = 0; bCopied && i < rc.right * rc.bottom; ++i, pby += 4) {
        const BYTE b = pby[0], g = pby[1], r = pby[2];
        if (r > 160 && g < 100 && b < 100) ++ink.red;
        if (r < 80 && g < 80 && b < 80) ++ink.dark;
        ink.hash = ((ink.hash ^ b) * 16777619u ^ g) * 16777619u;
        ink.hash = (ink.hash ^ r) * 16777619u;
    }
    if (hOld) SelectObject(hMem, hOld);
    if (hBmp) DeleteObject(hBmp);
    DeleteDC(hMem);
    ReleaseDC(nullptr, hScreen);
    return bCopied != FALSE;
}

// Counts the reddish and the dark pixels of a control's client area as the
// screen shows it: "ink target id". An indicator of the status bar writes
// its name in red while its line is on and in black while it is off. "hash"
// (FNV-1a of every pixel) tells whether two reads showed the same picture.
std::string CmdInk(const Args& args)
{
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return Error(error);
    Ink ink;
    if (!ReadInk(hWnd, ink)) return Error("screen not readable");
    return Json().Int("red", ink.red).Int("dark", ink.dark).Int("hash", ink.hash).Done();
}

// Waits until a control's pixels show more dark ink than `dark`: "waitink
// target id dark timeout_ms"; "us" is when the screen first showed it.
std::string CmdWaitInk(const Args& args)
{
    if (args.size() < 5) return Error("usage: waitink target id dark timeout_ms");
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return Error(error);
    const long long until = MicrosecondsNow() + Number(args[4]) * 1000;
    for (long long looks = 1;; ++looks) {
        Ink ink;
        if (ReadInk(hWnd, ink) && ink.dark > Number(args[3]))
            return Json().Bool("found", true).Int("us", MicrosecondsNow()).Int("looks", looks).Done();
        if (MicrosecondsNow() >= until) return Json().Bool("found", false).Int("looks", looks).Done();
        Sleep(1);
    }
}

// Has a control drawn anew at once, whatever it thinks it owes: "redraw
// target id". A picture that changes with it was stale. The app paints
// before RedrawWindow returns (WM_PAINT is sent to its thread), so "us", the
// call's time, is that paint's time plus one message round trip (see "ping").
std::string CmdRedraw(const Args& args)
{
    std::string error;
    HWND hWnd = ResolveControl(args, 1, error);
    if (!hWnd) return Error(error);
    long long start = MicrosecondsNow();
    RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return Json().Int("us", MicrosecondsNow() - start).Done();
}

// ---------------------------------------------------------------- transfers

struct TransferWatch {
    HANDLE hMap;
    ZdTransferLog* pLog;
    HHOOK hHook;
};

TransferWatch gTransfer = {nullptr, nullptr, nullptr};

HHOOK InstallTransferHook()
{
    char achPath[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, achPath, MAX_PATH);
    std::string dll(achPath);
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "zdhook_transfer.dll";
    HMODULE hDll = LoadLibraryA(dll.c_str());
    HOOKPROC pfn = nullptr;
    for (const char* pszName : kZdTransferHookNames) {
        if (hDll && !pfn) pfn = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hDll, pszName)));
    }
    return pfn ? SetWindowsHookExA(WH_CALLWNDPROC, pfn, hDll, gApp.dwTid) : nullptr;
}

// Starts (or restarts, emptied) the log of the transfer dialogs' values.
std::string CmdTxWatch(const Args&)
{
    if (!gTransfer.hMap) {
        std::string name = kZdTransferMappingPrefix + std::to_string(GetCurrentProcessId());
        gTransfer.hMap = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(ZdTransferLog), name.c_str());
        if (!gTransfer.hMap) return Error("CreateFileMapping failed");
        gTransfer.pLog = static_cast<ZdTransferLog*>(
            MapViewOfFile(gTransfer.hMap, FILE_MAP_WRITE, 0, 0, sizeof(ZdTransferLog)));
        if (!gTransfer.pLog) return Error("MapViewOfFile failed");
    }
    InterlockedExchange(&gTransfer.pLog->lCount, 0);
    InterlockedExchange(reinterpret_cast<volatile LONG*>(&gTransfer.pLog->dwHoldInfoDestroyMs), 0);
    if (!gTransfer.hHook) gTransfer.hHook = InstallTransferHook();
    if (!gTransfer.hHook) return Error("transfer hook not installed");
    DWORD_PTR dwResult = 0;
    if (!SendMessageTimeoutA(gApp.hMain, RegisterWindowMessageA(kZdTransferMessage), 0,
                             static_cast<LPARAM>(GetCurrentProcessId()), SMTO_NORMAL, kSendTimeoutMs, &dwResult)) {
        return Error("the app did not take the watch request");
    }
    return Json().Done();
}

// The logged events from index `from` on (at most 8192 per answer) as
// [kind, control id, value, tick] lists, and the number logged so far.
std::string CmdTxLog(const Args& args)
{
    if (!gTransfer.pLog) return Error("txwatch first");
    LONG lCount = gTransfer.pLog->lCount;
    LONG lFrom = args.size() > 1 ? static_cast<LONG>(Number(args[1])) : 0;
    LONG lEnd = lCount < kZdTransferCapacity ? lCount : kZdTransferCapacity;
    if (lEnd - lFrom > 8192) lEnd = lFrom + 8192;
    std::string list = "[";
    for (LONG i = lFrom; i < lEnd; ++i) {
        const ZdTransferEvent& ev = gTransfer.pLog->aEvent[i];
        if (i > lFrom) list += ",";
        list += "[" + std::to_string(ev.dwKind) + "," + std::to_string(ev.dwCtl) + "," +
                std::to_string(ev.dwValue) + "," + std::to_string(ev.dwTick) + "]";
    }
    return Json().Int("count", lCount).Int("end", lEnd).Raw("events", list + "]").Done();
}

// Holds up the destruction of the Data Transmit Information dialog by the
// given ms (0: no longer).
std::string CmdTxHold(const Args& args)
{
    if (!gTransfer.pLog) return Error("txwatch first");
    if (args.size() < 2) return Error("usage: txhold ms");
    InterlockedExchange(reinterpret_cast<volatile LONG*>(&gTransfer.pLog->dwHoldInfoDestroyMs),
                        static_cast<LONG>(Number(args[1])));
    return Json().Done();
}

// ---------------------------------------------------------------- settings hook

struct SettingsWatch {
    HANDLE hMap;
    ZdSettingsLog* pLog;
    HHOOK hHook;
};

SettingsWatch gSettings = {nullptr, nullptr, nullptr};

HHOOK InstallSettingsHook()
{
    char achPath[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, achPath, MAX_PATH);
    std::string dll(achPath);
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "zdhook_settings.dll";
    HMODULE hDll = LoadLibraryA(dll.c_str());
    HOOKPROC pfn = nullptr;
    for (const char* pszName : kZdSettingsHookNames) {
        if (hDll && !pfn) pfn = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hDll, pszName)));
    }
    return pfn ? SetWindowsHookExA(WH_CALLWNDPROC, pfn, hDll, gApp.dwTid) : nullptr;
}

// Starts (or restarts, emptied) the log of the icons and fonts the app's
// controls are given.
std::string CmdUiWatch(const Args&)
{
    if (!gSettings.hMap) {
        std::string name = kZdSettingsMappingPrefix + std::to_string(GetCurrentProcessId());
        gSettings.hMap = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(ZdSettingsLog), name.c_str());
        if (!gSettings.hMap) return Error("CreateFileMapping failed");
        gSettings.pLog = static_cast<ZdSettingsLog*>(
            MapViewOfFile(gSettings.hMap, FILE_MAP_WRITE, 0, 0, sizeof(ZdSettingsLog)));
        if (!gSettings.pLog) return Error("MapViewOfFile failed");
    }
    InterlockedExchange(&gSettings.pLog->lCount, 0);
    if (!gSettings.hHook) gSettings.hHook = InstallSettingsHook();
    if (!gSettings.hHook) return Error("settings hook not installed");
    DWORD_PTR dwResult = 0;
    if (!SendMessageTimeoutA(gApp.hMain, RegisterWindowMessageA(kZdSettingsMessage), kZdSettingsOpen,
                             static_cast<LPARAM>(GetCurrentProcessId()), SMTO_NORMAL, kSendTimeoutMs, &dwResult)) {
        return Error("the app did not take the watch request");
    }
    return Json().Done();
}

// Logs the icon a static control shows now: "iconnow target id".
std::string CmdIconNow(const Args& args)
{
    if (!gSettings.pLog) return Error("uiwatch first");
    std::string error;
    HWND hCtl = ResolveControl(args, 1, error);
    if (!hCtl) return Error(error);
    DWORD_PTR dwResult = 0;
    if (!SendMessageTimeoutA(hCtl, RegisterWindowMessageA(kZdSettingsMessage), kZdSettingsIconNow, 0, SMTO_NORMAL,
                             kSendTimeoutMs, &dwResult)) {
        return Error("the control did not answer");
    }
    return Json().Done();
}

// Events from index "from" on: [kind, control id, value, tick, height, weight, face].
std::string CmdUiLog(const Args& args)
{
    if (!gSettings.pLog) return Error("uiwatch first");
    LONG lCount = gSettings.pLog->lCount;
    LONG lFrom = args.size() > 1 ? static_cast<LONG>(Number(args[1])) : 0;
    LONG lEnd = lCount < kZdSettingsCapacity ? lCount : kZdSettingsCapacity;
    std::string list = "[";
    for (LONG i = lFrom; i < lEnd; ++i) {
        const ZdSettingsEvent& ev = gSettings.pLog->aEvent[i];
        char achFace[LF_FACESIZE + 1] = {0};
        std::memcpy(achFace, ev.achFace, LF_FACESIZE);
        if (i > lFrom) list += ",";
        list += "[" + std::to_string(ev.dwKind) + "," + std::to_string(ev.dwCtl) + "," +
                std::to_string(ev.dwValue) + "," + std::to_string(ev.dwTick) + "," + std::to_string(ev.lHeight) +
                "," + std::to_string(ev.lWeight) + "," + Json::Quoted(achFace) + "]";
    }
    return Json().Int("count", lCount).Int("end", lEnd).Raw("events", list + "]").Done();
}

// ---------------------------------------------------------------- snapshots

// Writes the screen as the app's windows draw it to a 24-bit BMP file:
// "snap path". Read through GDI, so dialogs show that the X server of a
// virtual desktop leaves black.
std::string CmdSnap(const Args& args)
{
    if (args.size() < 2) return Error("usage: snap path");
    const int iWidth = GetSystemMetrics(SM_CXSCREEN);
    const int iHeight = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO bmi;
    ZeroMemory(&bmi, sizeof bmi);
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = iWidth;
    bmi.bmiHeader.biHeight = iHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pvBits = nullptr;
    HDC hScreen = GetDC(nullptr);
    HDC hMem = CreateCompatibleDC(hScreen);
    HBITMAP hBmp = CreateDIBSection(hScreen, &bmi, DIB_RGB_COLORS, &pvBits, nullptr, 0);
    if (!hMem || !hBmp) {
        if (hBmp) DeleteObject(hBmp);
        if (hMem) DeleteDC(hMem);
        ReleaseDC(nullptr, hScreen);
        return Error("no bitmap");
    }
    HGDIOBJ hOld = SelectObject(hMem, hBmp);
    BOOL bCopied = BitBlt(hMem, 0, 0, iWidth, iHeight, hScreen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD dwStride = (static_cast<DWORD>(iWidth) * 3 + 3) & ~3u;
    const DWORD dwImage = dwStride * static_cast<DWORD>(iHeight);
    BITMAPFILEHEADER bfh;
    ZeroMemory(&bfh, sizeof bfh);
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof bfh + sizeof bmi.bmiHeader;
    bfh.bfSize = bfh.bfOffBits + dwImage;
    bool bWritten = false;
    HANDLE hFile = CreateFileA(args[1].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (bCopied && hFile != INVALID_HANDLE_VALUE) {
        DWORD dw1 = 0, dw2 = 0, dw3 = 0;
        bWritten = WriteFile(hFile, &bfh, sizeof bfh, &dw1, nullptr) &&
                   WriteFile(hFile, &bmi.bmiHeader, sizeof bmi.bmiHeader, &dw2, nullptr) &&
                   WriteFile(hFile, pvBits, dwImage, &dw3, nullptr);
    }
    if (hFile != INVALID_HANDLE_VALUE) CloseHandle(hFile);
    SelectObject(hMem, hOld);
    DeleteObject(hBmp);
    DeleteDC(hMem);
    ReleaseDC(nullptr, hScreen);
    if (!bWritten) return Error("snapshot not written");
    return Json().Int("w", iWidth).Int("h", iHeight).Done();
}

// Removes zdrive's hooks from the app: under Wine every message to a hooked
// thread costs a server round trip, which a benchmark must not pay. Menu
// states cannot be read afterwards.
std::string CmdUnhook(const Args&)
{
    if (gApp.hHook) UnhookWindowsHookEx(gApp.hHook);
    if (gTransfer.hHook) UnhookWindowsHookEx(gTransfer.hHook);
    gApp.hHook = nullptr;
    gTransfer.hHook = nullptr;
    return Json().Done();
}

std::string Dispatch(const Args& args)
{
    const std::string& cmd = args[0];
    if (cmd == "attach") return CmdAttach(args);
    if (!gApp.hMain && cmd != "screen") return Error("not attached");
    if (cmd == "screen") return CmdScreen(args);
    if (cmd == "rect") return CmdRect(args);
    if (cmd == "childrect") return CmdChildRect(args);
    if (cmd == "window") return CmdWindow(args);
    if (cmd == "text") return CmdText(args);
    if (cmd == "scrollbar") return CmdScrollBar(args);
    if (cmd == "settext") return CmdSetText(args);
    if (cmd == "combo") return CmdCombo(args);
    if (cmd == "select") return CmdSelect(args);
    if (cmd == "click") return CmdClick(args);
    if (cmd == "command") return CmdCommand(args, false);
    if (cmd == "postcommand") return CmdCommand(args, true);
    if (cmd == "post") return CmdPost(args);
    if (cmd == "char") return CmdChar(args);
    if (cmd == "waittext") return CmdWaitText(args);
    if (cmd == "menu") return CmdMenu(args);
    if (cmd == "fontcell") return CmdFontCell(args);
    if (cmd == "dialogs") return CmdDialogs(args);
    if (cmd == "press") return CmdPress(args);
    if (cmd == "ping") return CmdPing(args);
    if (cmd == "proc") return CmdProc(args);
    if (cmd == "setpos") return CmdSetPos(args);
    if (cmd == "pixel") return CmdPixel(args);
    if (cmd == "ink") return CmdInk(args);
    if (cmd == "waitink") return CmdWaitInk(args);
    if (cmd == "redraw") return CmdRedraw(args);
    if (cmd == "terminate") return CmdTerminate(args);
    if (cmd == "txwatch") return CmdTxWatch(args);
    if (cmd == "txlog") return CmdTxLog(args);
    if (cmd == "txhold") return CmdTxHold(args);
    if (cmd == "unhook") return CmdUnhook(args);
    if (cmd == "uiwatch") return CmdUiWatch(args);
    if (cmd == "iconnow") return CmdIconNow(args);
    if (cmd == "uilog") return CmdUiLog(args);
    if (cmd == "snap") return CmdSnap(args);
    return Error("unknown command " + cmd);
}

// With --desktop NAME the driver joins the app's virtual desktop; windows of
// another desktop cannot be found. The desktop may still be in the making
// when the driver starts, so it is waited for. On failure the reason goes to
// `why` for the test's report.
bool JoinDesktop(int argc, char** argv, std::string& why)
{
    const int kDesktopWaitMs = 30000;
    const int kDesktopPollMs = 100;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--desktop") != 0) continue;
        for (int waited = 0;; waited += kDesktopPollMs) {
            HDESK hDesk = OpenDesktopA(argv[i + 1], 0, FALSE, GENERIC_ALL);
            if (hDesk && SetThreadDesktop(hDesk)) return true;
            why = std::string(hDesk ? "SetThreadDesktop" : "OpenDesktopA") + " failed with error " +
                  std::to_string(GetLastError());
            if (hDesk) CloseDesktop(hDesk);
            if (waited >= kDesktopWaitMs) return false;
            Sleep(kDesktopPollMs);
        }
    }
    return true;
}

// One accepted connection, read and written line by line.
class LineSocket {
public:
    explicit LineSocket(SOCKET s) : m_socket(s) {}
    bool ReadLine(std::string& line)
    {
        size_t end;
        while ((end = m_pending.find('\n')) == std::string::npos) {
            char buf[4096];
            int got = recv(m_socket, buf, sizeof buf, 0);
            if (got <= 0) return false;
            m_pending.append(buf, static_cast<size_t>(got));
        }
        line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }
    bool WriteLine(const std::string& text)
    {
        std::string out = text + "\n";
        for (size_t sent = 0; sent < out.size();) {
            int n = send(m_socket, out.data() + sent, static_cast<int>(out.size() - sent), 0);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }

private:
    SOCKET m_socket;
    std::string m_pending;
};

// Listens on an ephemeral loopback port, announces it on stdout and waits
// for the test to connect.
SOCKET AcceptTest()
{
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) return INVALID_SOCKET;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    int len = sizeof addr;
    if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    std::cout << Json().Int("port", ntohs(addr.sin_port)).Done() << std::endl;
    SOCKET conn = accept(listener, nullptr, nullptr);
    closesocket(listener);
    return conn;
}

void Serve(LineSocket& channel)
{
    std::string line;
    while (channel.ReadLine(line)) {
        Args args = SplitArgs(line);
        if (args.empty()) continue;
        if (args[0] == "quit") break;
        if (!channel.WriteLine(Dispatch(args))) break;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string why;
    if (!JoinDesktop(argc, argv, why)) {
        std::cout << Error("cannot join desktop: " + why) << std::endl;
        return 1;
    }
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        std::cout << Error("WSAStartup failed") << std::endl;
        return 1;
    }
    SOCKET conn = AcceptTest();
    if (conn == INVALID_SOCKET) {
        std::cout << Error("cannot listen on loopback") << std::endl;
        return 1;
    }
    LineSocket channel(conn);
    Serve(channel);
    closesocket(conn);
    WSACleanup();
    return 0;
}
