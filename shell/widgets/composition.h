#pragma once

#include "lookup/cddbclient.h"
#include "lookup/cddblookupservice.h"
#include "lookup/widgets/cddbmenu.h"
#include "lookup/widgets/discinfodialog.h"
#include "playback/widgets/infolines.h"

#include <QObject>

#include <memory>

namespace tf {

class Application;
class AudioTab;
class MainWindow;
class TitlesTab;

// Puts the two tabs into the main window and connects the changer operations, the lookup
// flow and the information lines to the window's menus and hooks. Created when the main
// window exists and before it loads; lives as long as the window.
class Composition : public QObject {
    Q_OBJECT
public:
    Composition(Application& app, MainWindow* window);
    ~Composition() override;

    TitlesTab* titlesTab() const { return m_titles; }
    AudioTab* audioTab() const { return m_audio; }

private:
    void connectHooks();
    void spreadUserFileNames(const QStringList& names);
    CddbOptions cddbOptions() const;
    // The proxy the first-run window handed over becomes the component's stored proxy.
    void keepHandedOverProxy();
    void showChangedDiscFile(int slot);

    Application& m_app;
    MainWindow* m_window;
    InfoLines m_info;
    TitlesTab* m_titles = nullptr;
    AudioTab* m_audio = nullptr;
    CddbClient m_cddb;
    WindowLookupChooser m_chooser;
    std::unique_ptr<CddbLookupService> m_lookup;
    std::unique_ptr<CddbMenu> m_menu;
    bool m_discListReady = false;
};

} // namespace tf
