#include "help/frm_help.h"

#include "localization/fonts.h"
#include "localization/language_codes.h"
#include "localization/mod_localize.h"
#include "localization/open_forms.h"
#include "localization/string_table.h"
#include "platform/files.h"
#include "platform/twips.h"

#include <QEvent>
#include <QTextBrowser>
#include <QUrl>

namespace quillfen {
namespace {

// The frame a caption bar and borders take in the design; sizes are measured with it, as the main
// window's are, so the layout does not jump once the window system has framed the window.
constexpr float kDesignFrameWidth = 120;
constexpr float kDesignFrameHeight = 405;
constexpr float kMinimumWidth = 2500;
constexpr float kMinimumHeight = 2400;

} // namespace

frmHelp::frmHelp(const QString& programDir)
    : QWidget(nullptr), m_programDir(programDir.isEmpty() ? languageDirectory() : programDir)
{
    setObjectName(QStringLiteral("frmHelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Quillfen"));
    m_browserHelp = new QTextBrowser(this);
    m_browserHelp->setObjectName(QStringLiteral("browserHelp"));
    m_browserHelp->setOpenExternalLinks(true);
    resize(pixelsFromTwips(9405), pixelsFromTwips(8040));
    registerOpenForm({objectName(), this, [this] { frmHelp_Auto_Init(); }, [this] { SetFormFonts(this); },
                      [this] { RefreshControls(this); }});
}

void frmHelp::frmHelp_Auto_Init()
{
    setWindowTitle(myLoadResString(32));
}

void frmHelp::Form_Load()
{
    frmHelp_Auto_Init();
    const QString code = GetLanguageCode(CurrentLCID()).trimmed();
    const QString base = m_programDir + QLatin1Char('/') + executableName();
    const QString page = base + QLatin1Char('_') + code + QStringLiteral(".htm");
    // The language page goes as a plain path, the fallback as a URL, whether or not it exists.
    if (FileExists(page))
        Navigate(page);
    else
        Navigate(QStringLiteral("file://") + base + QStringLiteral(".htm"));
}

void frmHelp::Navigate(const QString& target)
{
    m_navigatedTo = target;
    // A path may hold '#', '?' or '%': it goes to the browser as a file, not parsed as a URL.
    const QString file = target.startsWith(QLatin1String("file://")) ? target.mid(7) : target;
    m_browserHelp->setSource(QUrl::fromLocalFile(file));
}

float frmHelp::Width() const
{
    return twipsFromPixels(width()) + kDesignFrameWidth;
}

float frmHelp::Height() const
{
    return twipsFromPixels(height()) + kDesignFrameHeight;
}

void frmHelp::setWidth(float t)
{
    resize(pixelsAtLeast(t - kDesignFrameWidth), height());
}

void frmHelp::setHeight(float t)
{
    resize(width(), pixelsAtLeast(t - kDesignFrameHeight));
}

void frmHelp::Form_Resize()
{
    if (isMinimized())
        return;
    if (Width() < kMinimumWidth)
        setWidth(kMinimumWidth);
    if (Height() < kMinimumHeight)
        setHeight(kMinimumHeight);
    m_browserHelp->setGeometry(pixelsFromTwips(100), pixelsFromTwips(1), pixelsFromTwips(Width() - 200),
                               pixelsFromTwips(Height() - 400));
}

void frmHelp::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmHelp::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && isVisible())
        Form_Resize();
}

} // namespace quillfen
