#pragma once

#include <QWidget>

class QTextBrowser;

namespace quillfen {

// The Help window: the help page of the current language in a browser. Modeless and without an
// owner; closing it unloads it, so the next Help picks the page of the language current then.
class frmHelp final : public QWidget
{
    Q_OBJECT
public:
    // `programDir`: where the help pages lie; empty means the running program's directory.
    explicit frmHelp(const QString& programDir = {});

    void frmHelp_Auto_Init();
    void Form_Load();
    void Form_Resize();

    // What the browser was last asked to show: a plain path or a "file://" URL.
    const QString& navigatedTo() const { return m_navigatedTo; }
    QTextBrowser* browserHelp() const { return m_browserHelp; }

    // Outer size in twips: frame and caption included.
    float Width() const;
    float Height() const;
    void setWidth(float twips);
    void setHeight(float twips);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Navigate(const QString& target);
    // The page's title names the window and the page for assistive technology.
    void nameAfterThePage();
    // The page's colours, taken from the palette.
    void colourThePage();

    QTextBrowser* m_browserHelp;
    QString m_programDir;
    QString m_navigatedTo;
};

} // namespace quillfen
