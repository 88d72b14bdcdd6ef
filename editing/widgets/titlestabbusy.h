#pragma once

// The busy bracket of the titles tab's commands: one command at a time, its buttons off
// while it runs and set by the command's rule afterwards.

#include "editing/widgets/titlestab.h"

#include "link/link.h"

#include <QPushButton>

namespace tf {

class TitlesTab::Busy {
public:
    enum Kind {
        kLoad,     // load and reload off
        kAllThree, // load, save and reload off
    };

    Busy(TitlesTab& tab, Kind kind) : m_tab(tab), m_kind(kind) {
        m_tab.m_busy = true;
        m_tab.m_cmdLoad->setEnabled(false);
        m_tab.m_cmdReload->setEnabled(false);
        if (kind == kAllThree)
            m_tab.m_cmdSave->setEnabled(false);
    }
    ~Busy() {
        m_tab.m_busy = false;
        m_tab.m_cmdLoad->setEnabled(true);
        // Reload needs the changer; after a load only when a disc is in its player.
        m_tab.m_cmdReload->setEnabled(m_tab.changerConnected() &&
                                      (m_kind != kLoad || m_tab.m_link.playValues().PlayDisc != 0));
        // Unsaved titles stay savable, also after a failed or cancelled save.
        m_tab.updateSaveButton();
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    TitlesTab& m_tab;
    Kind m_kind;
};

} // namespace tf
