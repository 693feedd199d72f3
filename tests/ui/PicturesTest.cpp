// Writes pictures of the list in its four display modes and of the whois view
// into <build>/ui-pictures, for a person to look at.
#include "core/document/NetloreDoc.h"
#include "core/settings/MemorySettingsStore.h"
#include "ui/frame/ProgressDlg.h"
#include "ui/frame/TextResultView.h"
#include "ui/lists/BigListCtrl.h"
#include "ui/lists/IPListBar.h"
#include "ui/lists/ListTexts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>

namespace {

QString PictureDir()
{
    const QString strDir = QStringLiteral(ADDRSCOPE_BINARY_DIR "/ui-pictures");
    QDir().mkpath(strDir);
    return strDir;
}

std::string ReadFixture(const char* pszPath)
{
    QFile file(QStringLiteral(ADDRSCOPE_TEST_DATA "/") + QString::fromLatin1(pszPath));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

} // namespace

TEST(Pictures, IPListInEveryDisplayMode)
{
    CMemorySettingsStore store;
    CNetloreDoc doc;
    for (const char* psz :
         {"0.0.0.1", "192.168.1.1", "255.255.255.255", "8.8.8.8", "1.1.1.1", "143.128.0.1", "200.0.0.1", "2.0.0.1"})
        doc.AddIP(psz);
    doc.SetCurrentIndex(1);
    const std::pair<int, const char*> modes[] = {{ListTexts::kModeBinary, "binary"},
                                                 {ListTexts::kModeHex, "hex"},
                                                 {ListTexts::kModeQuad, "quad"},
                                                 {ListTexts::kModeDecimal, "decimal"}};
    for (const auto& [nMode, pszName] : modes) {
        QMainWindow frame;
        auto* pBar = new CIPListBar(store, "IP List", &frame);
        pBar->SetDocument(&doc);
        pBar->SetDisplayMode(nMode);
        frame.setCentralWidget(new QWidget);
        frame.addDockWidget(Qt::LeftDockWidgetArea, pBar);
        frame.resize(nMode == ListTexts::kModeBinary ? 620 : 360, 300);
        frame.show();
        frame.resizeDocks({pBar}, {nMode == ListTexts::kModeBinary ? 440 : 180}, Qt::Horizontal);
        pBar->RefreshList();
        QApplication::processEvents();
        const QString strFile = PictureDir() + "/iplist-" + pszName + ".png";
        ASSERT_TRUE(frame.grab().save(strFile)) << strFile.toStdString();
    }

    QMainWindow frame;
    CNetloreDoc empty;
    auto* pBar = new CIPListBar(store, "IP List", &frame);
    pBar->SetDocument(&empty);
    frame.setCentralWidget(new QWidget);
    frame.addDockWidget(Qt::LeftDockWidgetArea, pBar);
    frame.resize(360, 200);
    frame.show();
    pBar->RefreshList();
    ASSERT_TRUE(frame.grab().save(PictureDir() + "/iplist-empty.png"));
}

TEST(Pictures, WhoisViewWithARealAnswer)
{
    CNetloreDoc doc;
    const std::string strWhois = ReadFixture("whois/ripe/weppos-bouygtel-128.79.0.0.txt");
    ASSERT_FALSE(strWhois.empty());
    doc.AddIP("128.79.0.1");
    doc.SetCurrentIndex(0);
    doc.SetWhoisText("128.79.0.1", strWhois);
    CTextResultView view(&doc);
    view.resize(720, 480);
    view.OnInitialUpdate();
    view.show();
    QApplication::processEvents();
    ASSERT_TRUE(view.grab().save(PictureDir() + "/whois-view.png"));

    CNetloreDoc empty;
    CTextResultView start(&empty);
    start.resize(520, 260);
    start.OnInitialUpdate();
    start.show();
    ASSERT_TRUE(start.grab().save(PictureDir() + "/whois-view-quickstart.png"));
}

TEST(Pictures, ProgressWindow)
{
    CProgressDlg dlg;
    dlg.Show("Constructing IP Address List");
    dlg.SetPos(42);
    ASSERT_TRUE(dlg.grab().save(PictureDir() + "/progress.png"));
    dlg.Close();
}
