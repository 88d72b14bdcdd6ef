#pragma once

#include "lookup/cddbprotocol.h"

#include <QDialog>

namespace tf {

// What the lookup component is and where it looks discs up.
class CddbAboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit CddbAboutWindow(const CddbOptions& options, QWidget* parent = nullptr);

    // The lines shown, for tests and for the window itself.
    static QStringList lines(const CddbOptions& options);
};

} // namespace tf
