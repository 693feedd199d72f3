#include "ui/frame/FrameIcons.h"

#include <QString>

namespace {

struct CIconNames {
    const char* m_pszTheme; // freedesktop name, null: always the bundled one
    const char* m_pszFile; // under :/frame/icons/
};

// The list display modes and status panes have no freedesktop equivalents.
constexpr CIconNames kNames[] = {
    {"document-new", "new.svg"},
    {"document-open", "open.svg"},
    {"document-save", "save.svg"},
    {"edit-delete", "delete.svg"},
    {"system-search", "lookup.svg"},
    {"process-stop", "stop.svg"},
    {"applications-internet", "moretools.svg"},
    {nullptr, "binary.svg"},
    {nullptr, "hex.svg"},
    {nullptr, "quad.svg"},
    {nullptr, "decimal.svg"},
    {nullptr, "details.svg"},
    {nullptr, "total.svg"},
    {nullptr, "display.svg"},
    {nullptr, "addrscope.svg"},
};

} // namespace

QIcon CFrameIcons::Bundled(EIcon icon)
{
    return QIcon(QStringLiteral(":/frame/icons/") + QString::fromLatin1(kNames[icon].m_pszFile));
}

QIcon CFrameIcons::Get(EIcon icon)
{
    if (kNames[icon].m_pszTheme)
        return QIcon::fromTheme(QString::fromLatin1(kNames[icon].m_pszTheme), Bundled(icon));
    return Bundled(icon);
}
