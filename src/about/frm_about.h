#pragma once

#include <QDialog>
#include <QLabel>

#include <map>
#include <vector>

class QAction;
class QMenu;
class QPushButton;

namespace quillfen {

// A label the user can click, as "Change Language" is; Tab reaches it, and Enter or Space clicks it.
class ClickableLabel final : public QLabel
{
    Q_OBJECT
public:
    explicit ClickableLabel(const QString& text, QWidget* parent = nullptr);
    // Whether the last click came from the keyboard (a menu then opens at the label, not the mouse).
    bool clickedByKeyboard() const { return m_byKeyboard; }
    // A click that places the menu at the label, as the keyboard and assistive technology do.
    void clickAsKeyboard();
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_byKeyboard = false;
};

// The About box: product, version, notices, logos, and the language menu. One instance for the
// whole run; OK hides it, closing it through the window system unloads it.
class frmAbout final : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    void frmAbout_Auto_Init();
    // Texts, version, the installed languages and the language menu. Runs on the first showing.
    void Form_Load();
    void lblChangeLanguage_Click();
    void mnuLanguageList_Click(int index);
    void cmdOK_Click();

    // Shows the box modally, loading it first if it has not been.
    void showModally();

    // Members of the control arrays, by index.
    QLabel* lblVersionTitle(int index) const;
    QAction* mnuLanguageList(int index) const;
    int mnuLanguageListCount() const { return int(m_mnuLanguageList.size()); }
    QMenu* mnuSelectLanguage() const { return m_mnuSelectLanguage; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void markCurrentLanguage();

    QLabel* m_picOrrinLogo;
    std::map<int, QLabel*> m_lblVersionTitle;
    QLabel* m_lblVersion;
    QLabel* m_lblCopyright;
    QLabel* m_lblTrademark;
    ClickableLabel* m_lblChangeLanguage;
    QLabel* m_picVeltraneLogo;
    QLabel* m_lblVeltraneAddress1;
    QLabel* m_lblVeltraneAddress2;
    QLabel* m_lblVeltraneAddress3;
    QPushButton* m_cmdOK;
    QMenu* m_mnuSelectLanguage;
    std::vector<QAction*> m_mnuLanguageList;
    bool m_loaded = false;
};

} // namespace quillfen
