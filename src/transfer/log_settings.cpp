#include "log_settings.h"

#include <cstring>

LogSettings fnLogDefaults()
{
    LogSettings st = {};
    st.m_nFormat = kLogText;
    st.m_nStamp = kLogStampDateTime;
    st.m_nDirs = kLogReceivedOnly;
    st.m_dwPauseMs = kLogPauseMsDefault;
    st.m_nRotate = kLogRotateOff;
    st.m_dwRotateBytes = kLogRotateBytesDefault;
    std::memcpy(st.m_achPattern, kLogPatternDefault, sizeof kLogPatternDefault);
    return st;
}
