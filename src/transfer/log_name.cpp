#include "log_name.h"

#include <cstdio>
#include <cstring>

#include "log_time.h"

namespace {

const char kachForbidden[] = {'<', '>', '"', '|', '?', '*'};
const char *const kapszDevice[] = {"CON", "PRN", "AUX", "NUL"};

struct NameOut {
    char *m_pch;
    std::uint32_t m_nLimit; // characters with the terminator
    std::uint32_t m_nLen;
    bool m_bOver;
    bool m_bBadPort;
};

void fnAdd(NameOut &st, const char *pch, std::uint32_t cch)
{
    for (std::uint32_t i = 0; i < cch; ++i) {
        if (st.m_nLen + 1 >= st.m_nLimit) {
            st.m_bOver = true;
            return;
        }
        st.m_pch[st.m_nLen++] = pch[i];
    }
}

void fnAddNumber(NameOut &st, std::uint32_t nValue, int nDigits)
{
    char ach[16];
    const int cch = std::snprintf(ach, sizeof ach, "%0*lu", nDigits, static_cast<unsigned long>(nValue));
    fnAdd(st, ach, static_cast<std::uint32_t>(cch));
}

bool fnIsControl(char ch)
{
    return static_cast<unsigned char>(ch) < 0x20;
}

bool fnIsForbidden(char ch)
{
    return fnIsControl(ch) || std::memchr(kachForbidden, ch, sizeof kachForbidden) != nullptr;
}

bool fnIsLetter(char ch)
{
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

bool fnIsSeparator(char ch)
{
    return ch == '\\' || ch == '/';
}

// The port's name goes in as one part of a file name.
void fnAddPort(NameOut &st, const char *pszPort)
{
    std::uint32_t cch = 0;
    for (; cch < kLogPathChars && pszPort[cch] != '\0'; ++cch) {
        const char ch = pszPort[cch];
        st.m_bBadPort = st.m_bBadPort || fnIsForbidden(ch) || fnIsSeparator(ch) || ch == ':';
    }
    fnAdd(st, pszPort, cch);
}

// The value and width of a date field, or false for another character.
bool fnDateField(const LogDate &stDate, char ch, std::uint32_t &nValue, int &nDigits)
{
    const char achField[] = "YmdHMS";
    const std::uint32_t anValue[] = {stDate.m_nYear, stDate.m_nMonth,  stDate.m_nDay,
                                     stDate.m_nHour, stDate.m_nMinute, stDate.m_nSecond};
    const char *pchAt = std::strchr(achField, ch);
    if (ch == '\0' || pchAt == nullptr) {
        return false;
    }
    nValue = anValue[pchAt - achField];
    nDigits = ch == 'Y' ? 4 : 2;
    return true;
}

// Adds what %ch stands for; false when it stands for nothing.
bool fnAddField(NameOut &st, char ch, const LogDate &stDate, const char *pszPort, std::uint32_t nCounter)
{
    std::uint32_t nValue = 0;
    int nDigits = 0;
    if (fnDateField(stDate, ch, nValue, nDigits)) {
        fnAddNumber(st, nValue, nDigits);
    } else if (ch == 'N') {
        fnAddNumber(st, nCounter, 3);
    } else if (ch == 'P') {
        fnAddPort(st, pszPort);
    } else if (ch == '%') {
        fnAdd(st, "%", 1);
    } else {
        return false;
    }
    return true;
}

bool fnHasBadChar(const char *psz, std::uint32_t cch)
{
    for (std::uint32_t i = 0; i < cch; ++i) {
        if (fnIsForbidden(psz[i]) || (psz[i] == ':' && !(i == 1 && fnIsLetter(psz[0])))) {
            return true;
        }
    }
    return false;
}

// Where the file's own name starts: after the last separator or a drive.
std::uint32_t fnFileStart(const char *psz, std::uint32_t cch)
{
    std::uint32_t nStart = cch >= 2 && psz[1] == ':' ? 2 : 0;
    for (std::uint32_t i = 0; i < cch; ++i) {
        nStart = fnIsSeparator(psz[i]) ? i + 1 : nStart;
    }
    return nStart;
}

// Windows opens the device for its name with any extension and blanks.
bool fnIsDevice(const char *pszFile)
{
    std::uint32_t cch = 0;
    while (pszFile[cch] != '\0' && pszFile[cch] != '.') {
        ++cch;
    }
    while (cch > 0 && pszFile[cch - 1] == ' ') {
        --cch;
    }
    char achBase[4] = {};
    for (std::uint32_t i = 0; i < cch && i < 4; ++i) {
        achBase[i] = static_cast<char>(pszFile[i] & ~0x20);
    }
    if (cch == 3) {
        for (const char *pszDevice : kapszDevice) {
            if (std::memcmp(achBase, pszDevice, 3) == 0) {
                return true;
            }
        }
    }
    const bool bNumbered = std::memcmp(achBase, "COM", 3) == 0 || std::memcmp(achBase, "LPT", 3) == 0;
    return cch == 4 && bNumbered && pszFile[3] >= '1' && pszFile[3] <= '9';
}

LogNameResult fnCheck(const NameOut &st)
{
    if (st.m_bOver) {
        return kLogNameTooLong;
    }
    if (st.m_bBadPort || fnHasBadChar(st.m_pch, st.m_nLen)) {
        return kLogNameBadChar;
    }
    const std::uint32_t nFile = fnFileStart(st.m_pch, st.m_nLen);
    if (nFile == st.m_nLen) {
        return kLogNameNoFile;
    }
    return fnIsDevice(st.m_pch + nFile) ? kLogNameDevice : kLogNameOk;
}

} // namespace

LogNameResult fnLogExpandName(const char *pchPattern, std::uint32_t cchPattern, const char *pszPort,
                              std::uint64_t qwStartMs, std::uint32_t nCounter, char *pchOut,
                              std::uint32_t cchOut)
{
    NameOut st = {pchOut, cchOut < kLogPathChars ? cchOut : kLogPathChars, 0, false, false};
    const LogDate stDate = fnLogDateOf(qwStartMs);
    for (std::uint32_t i = 0; i < cchPattern && pchPattern[i] != '\0' && !st.m_bOver; ++i) {
        const char chNext = i + 1 < cchPattern ? pchPattern[i + 1] : '\0';
        if (pchPattern[i] == '%' && fnAddField(st, chNext, stDate, pszPort, nCounter)) {
            ++i;
        } else {
            fnAdd(st, pchPattern + i, 1);
        }
    }
    if (cchOut == 0) {
        return kLogNameTooLong;
    }
    pchOut[st.m_nLen] = '\0';
    const LogNameResult nResult = fnCheck(st);
    if (nResult != kLogNameOk) {
        pchOut[0] = '\0';
    }
    return nResult;
}

bool fnLogNumberedName(const char *pszName, std::uint32_t nNumber, char *pchOut, std::uint32_t cchOut)
{
    const std::uint32_t cchName = static_cast<std::uint32_t>(std::strlen(pszName));
    const std::uint32_t nFile = fnFileStart(pszName, cchName);
    const char *pchDot = std::strrchr(pszName + nFile, '.');
    const std::uint32_t nCut = pchDot != nullptr ? static_cast<std::uint32_t>(pchDot - pszName) : cchName;
    NameOut st = {pchOut, cchOut, 0, false, false};
    fnAdd(st, pszName, nCut);
    fnAdd(st, "-", 1);
    fnAddNumber(st, nNumber, 1);
    fnAdd(st, pszName + nCut, cchName - nCut);
    if (cchOut != 0) {
        pchOut[st.m_bOver ? 0 : st.m_nLen] = '\0';
    }
    return cchOut != 0 && !st.m_bOver;
}
