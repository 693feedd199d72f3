#pragma once

#include <QUrl>

#include <functional>
#include <string>

class CClock;
class CIPAddressData;
class CFilePrompt;
class CFramePrompts;
class CIcmpService;
class CNameResolver;

// What the main window runs with besides its settings: name resolution, ICMP, the
// clock, the file and message prompts, the browser and the tray. Null members get
// the system's own; tests put fakes and loopback-bound services here.
struct CFrameServices {
    CNameResolver* m_pResolver = nullptr;
    CIcmpService* m_pIcmp = nullptr;
    const CClock* m_pClock = nullptr;
    CFilePrompt* m_pFiles = nullptr;
    CFramePrompts* m_pPrompts = nullptr;
    // Opens a web page in the user's browser.
    std::function<bool(const QUrl&)> m_fnOpenUrl;
    // The abuse address a record's whois text states, empty when none; the
    // document's whois facts unless set.
    std::function<std::string(const CIPAddressData&)> m_fnReadAbuse;
    // Where an untitled document keeps its recovery file (the user's data folder in
    // the program); empty: it keeps none.
    std::string m_strRecoveryFolder;
    // -1: ask the desktop whether it has a notification area; 0 or 1: as given.
    int m_nTrayAvailable = -1;
};
