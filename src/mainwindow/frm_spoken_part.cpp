#include "mainwindow/frm_spoken_part.h"

#include "localization/string_table.h"
#include "localization/widgets/fonts.h"
#include "platform/open_dialog.h"
#include "platform/widgets/focus_ring.h"
#include "settings/spoken_part_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillfen {

frmSpokenPart::frmSpokenPart(const SpokenParts& current, QWidget* parent) : QDialog(parent), m_chosen(current)
{
    setObjectName(QStringLiteral("frmSpokenPart"));
    setModal(true);

    const auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    const auto button = [this](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_lblSpokenPartUse = label("lblSpokenPartUse");
    m_lblSpokenPartUse->setWordWrap(true);
    m_lblBefore = label("lblBefore");
    m_lblBeforeFile = label("lblBeforeFile");
    m_cmdChooseBefore = button("cmdChooseBefore");
    m_cmdNoneBefore = button("cmdNoneBefore");
    m_lblAfter = label("lblAfter");
    m_lblAfterFile = label("lblAfterFile");
    m_cmdChooseAfter = button("cmdChooseAfter");
    m_cmdNoneAfter = button("cmdNoneAfter");
    m_cmdOK = button("cmdOK");
    m_cmdOK->setDefault(true);
    // The default button is outlined either way: a ring shows when it has the focus.
    showFocusRing(m_cmdOK);
    showFocusOnOpening(this);
    m_cmdCancel = button("cmdCancel");
    // The label's mnemonic goes to the place's Choose button: the file name itself takes no focus.
    m_lblBefore->setBuddy(m_cmdChooseBefore);
    m_lblAfter->setBuddy(m_cmdChooseAfter);
    for (QLabel* file : {m_lblBeforeFile, m_lblAfterFile})
        file->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* places = new QGridLayout;
    places->addWidget(m_lblBefore, 0, 0);
    places->addWidget(m_lblBeforeFile, 0, 1);
    places->addWidget(m_cmdChooseBefore, 0, 2);
    places->addWidget(m_cmdNoneBefore, 0, 3);
    places->addWidget(m_lblAfter, 1, 0);
    places->addWidget(m_lblAfterFile, 1, 1);
    places->addWidget(m_cmdChooseAfter, 1, 2);
    places->addWidget(m_cmdNoneAfter, 1, 3);
    places->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lblSpokenPartUse);
    layout->addLayout(places);
    layout->addLayout(buttons);

    frmSpokenPart_Auto_Init();
    SetFormFonts(this);

    connect(m_cmdChooseBefore, &QPushButton::clicked, this, [this] { choose(m_chosen.before); });
    connect(m_cmdChooseAfter, &QPushButton::clicked, this, [this] { choose(m_chosen.after); });
    connect(m_cmdNoneBefore, &QPushButton::clicked, this, [this] {
        m_chosen.before.clear();
        showChoice();
    });
    connect(m_cmdNoneAfter, &QPushButton::clicked, this, [this] {
        m_chosen.after.clear();
        showChoice();
    });
    connect(m_cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Room for a long file name in every language without the box changing size.
    setMinimumWidth(fontMetrics().averageCharWidth() * 70);
}

void frmSpokenPart::frmSpokenPart_Auto_Init()
{
    setWindowTitle(myLoadResString(IDS_SPOKEN_PART_TITLE));
    m_lblSpokenPartUse->setText(myLoadResString(IDS_SPOKEN_PART_USE));
    m_lblBefore->setText(myLoadResString(IDS_SPOKEN_BEFORE_LABEL));
    m_lblAfter->setText(myLoadResString(IDS_SPOKEN_AFTER_LABEL));
    for (QPushButton* choose : {m_cmdChooseBefore, m_cmdChooseAfter})
        choose->setText(myLoadResString(IDS_SPOKEN_CHOOSE));
    for (QPushButton* none : {m_cmdNoneBefore, m_cmdNoneAfter})
        none->setText(myLoadResString(IDS_SPOKEN_CLEAR));
    m_cmdOK->setText(myLoadResString(IDS_OK));
    m_cmdCancel->setText(myLoadResString(IDS_SPOKEN_CANCEL));
    showChoice();
}

void frmSpokenPart::choose(QString& place)
{
    QStringList files;
    try {
        OpenDialogRequest request;
        request.title = myLoadResString(IDS_SPOKEN_DIALOG_TITLE);
        // Where the place's recording is, else the other's, else home: never the program directory.
        const QString near = !place.isEmpty()             ? place
                             : !m_chosen.before.isEmpty() ? m_chosen.before
                                                          : m_chosen.after;
        request.directory = near.isEmpty() ? QDir::homePath() : QFileInfo(near).absolutePath();
        request.filters = {myLoadResString(IDS_AUDIO_FILES) + QStringLiteral(" (") +
                               spokenPartFilePatterns().join(QLatin1Char(' ')) + QLatin1Char(')'),
                           myLoadResString(IDS_ALL_FILES) + QStringLiteral(" (*)")};
        files = openDialog().ShowOpen(request);
    } catch (...) {
        return; // Cancel: the place keeps its recording
    }
    if (files.isEmpty())
        return;
    place = QFileInfo(files.constFirst()).absoluteFilePath();
    showChoice();
}

void frmSpokenPart::showChoice()
{
    for (const auto& [file, path] :
         {std::pair{m_lblBeforeFile, m_chosen.before}, std::pair{m_lblAfterFile, m_chosen.after}}) {
        file->setText(path.isEmpty() ? myLoadResString(IDS_SPOKEN_NONE) : QFileInfo(path).fileName());
        file->setToolTip(QDir::toNativeSeparators(path));
    }
    m_cmdNoneBefore->setEnabled(!m_chosen.before.isEmpty());
    m_cmdNoneAfter->setEnabled(!m_chosen.after.isEmpty());
}

std::optional<SpokenParts> askSpokenParts(const SpokenParts& current, QWidget* parent)
{
    frmSpokenPart box(current, parent);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.chosen();
}

SpokenParts storedSpokenParts()
{
    const StoredSpokenParts stored = readSpokenPartSettings();
    return {stored.before, stored.after};
}

void storeSpokenParts(const SpokenParts& parts)
{
    writeSpokenPartSettings({parts.before, parts.after});
}

} // namespace quillfen
