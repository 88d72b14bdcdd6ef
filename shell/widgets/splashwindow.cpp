#include "shell/widgets/splashwindow.h"

#include "base/catalogue.h"
#include "shell/widgets/tabicons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tf {

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setStyleSheet(QStringLiteral("#frmSplash { background: #24324a; } QLabel { color: white; }"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("imgLogo"));
    picture->setPixmap(audioTabIcon().pixmap(96, 96));
    auto* title = new QLabel(msg(msgid::ApplicationCaption), this);
    title->setObjectName(QStringLiteral("lbTitle"));
    QFont big = title->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    title->setFont(big);

    auto* text = new QVBoxLayout;
    text->addStretch();
    text->addWidget(title);
    text->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 24);
    layout->addWidget(picture);
    layout->addSpacing(24);
    layout->addLayout(text);

    m_initTM.setObjectName(QStringLiteral("initTM"));
    m_initTM.setSingleShot(true);
    m_initTM.setInterval(kDelayMs);
    m_initTM.setTimerType(Qt::PreciseTimer);
    connect(&m_initTM, &QTimer::timeout, this, &SplashWindow::initTM_Timer);
}

} // namespace tf
