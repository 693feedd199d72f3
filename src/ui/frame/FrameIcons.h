#pragma once

#include <QIcon>

// The toolbar, tray and status icons: from the desktop's icon theme where it has
// one, else the program's own drawings, so every button has a picture.
class CFrameIcons
{
public:
    enum EIcon
    {
        kNew,
        kOpen,
        kSave,
        kDelete,
        kLookup,
        kStop,
        kMoreTools,
        kBinary,
        kHex,
        kQuad,
        kDecimal,
        kDetails,
        kTotal,
        kDisplay,
        kApp,
    };

    static QIcon Get(EIcon icon);
    // The bundled drawing alone, ignoring the theme.
    static QIcon Bundled(EIcon icon);
};
