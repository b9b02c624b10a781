#include "mainwindow/frm_message_set.h"

#include "conversion/codec_check.h"
#include "conversion/message_set.h"
#include "conversion/message_set_run.h"
#include "conversion/phone_systems.h"
#include "localization/string_table.h"
#include "localization/widgets/fonts.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/open_dialog.h"
#include "platform/widgets/focus_ring.h"
#include "settings/message_set_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

namespace quillfen {
namespace {

// How the window names each system the set knows, and what it says of it.
struct SystemCaption
{
    const char16_t* keyword;
    const char16_t* name;
    std::optional<StringId> use; // unset: the use of the chosen format says it
};

const SystemCaption kSystemCaptions[] = {
    {u"asterisk", u"Asterisk", IDS_SYSTEM_ASTERISK},
    {u"freeswitch", u"FreeSWITCH", IDS_SYSTEM_FREESWITCH},
    {u"cisco", u"Cisco Unity Connection", IDS_SYSTEM_CISCO},
    {u"avaya", u"Avaya", IDS_SYSTEM_AVAYA},
    {u"teams", u"Microsoft Teams", IDS_SYSTEM_TEAMS},
    {u"3cx", u"3CX", IDS_SYSTEM_3CX},
    {u"wav", u"WAV", std::nullopt},
};

const SystemCaption* captionOf(const QString& system)
{
    for (const SystemCaption& caption : kSystemCaptions)
        if (system == QStringView(caption.keyword))
            return &caption;
    return nullptr;
}

// The codecs a set's tones may be checked through, by their command-line names.
const std::pair<const char16_t*, const char16_t*> kCheckedCodecs[] = {
    {u"gsm", u"GSM"},   {u"g729", u"G.729"}, {u"amr", u"AMR"},
    {u"opus", u"Opus"}, {u"g722", u"G.722"}, {u"g726", u"G.726"},
};

// A codec as the box shows it.
QString shownName(codecs::Codec codec)
{
    const std::string_view keyword = codecs::codecInfo(codec).name;
    for (const auto& [name, shown] : kCheckedCodecs)
        if (QString::fromUtf16(name) == QLatin1String(keyword.data(), static_cast<qsizetype>(keyword.size())))
            return QString::fromUtf16(shown);
    return QString::fromLatin1(keyword.data(), static_cast<qsizetype>(keyword.size()));
}

// What the codec check finds in a set that is in place: a line per message and codec that prints
// something other than the clean audio, or one line saying that none does. The check joins each
// message again on its own and never touches the set's files.
QStringList codecFindings(const QString& csv, const FormatChoice& choice,
                          const std::vector<codecs::Codec>& codecs, const QString& programDir)
{
    QStringList lines;
    if (codecs.empty())
        return lines;
    CodecCheckRun check(programDir);
    const int level = choice.levelTenths.value_or(OutputFormat::kStandardLevelTenths);
    for (const MessageRow& row : parseMessageCsv(readWholeFile(csv))) {
        const CodecCheck found = check.check(row.text, level, codecs);
        for (const CodecResult& result : found.results) {
            if (result.printed == found.cleanPrinted)
                continue;
            lines << myLoadResString(IDS_MESSAGE_SET_CODEC_WARNING)
                         .arg(row.name, shownName(result.codec), result.printed,
                              QString::number(qRound(result.characterErrorRate * 100)));
        }
    }
    if (lines.isEmpty())
        lines << myLoadResString(IDS_MESSAGE_SET_CODEC_CLEAN);
    return lines;
}

// A control of the box, made with its object name.
template <typename T, typename... Args> T* named(const char* name, Args&&... args)
{
    auto* control = new T(std::forward<Args>(args)...);
    control->setObjectName(QLatin1String(name));
    return control;
}

} // namespace

frmMessageSet::frmMessageSet(QString programDir, QWidget* parent)
    : QDialog(parent), m_programDir(std::move(programDir))
{
    setObjectName(QStringLiteral("frmMessageSet"));
    setModal(true);
    createControls();
    layOutControls();

    const StoredMessageSet stored = readMessageSetSettings();
    m_txtCsv->setText(stored.csv);
    m_txtFolder->setText(stored.folder);
    m_cboSystem->setCurrentIndex(std::max(0, m_cboSystem->findData(stored.system)));
    frmMessageSet_Auto_Init();
    SetFormFonts(this);

    connect(m_cboSystem, &QComboBox::currentIndexChanged, this, [this] { systemChanged(); });
    connect(m_cboEncoding, &QComboBox::currentIndexChanged, this, [this] { showSystemUse(); });
    connect(m_cmdBrowseCsv, &QPushButton::clicked, this, [this] { cmdBrowseCsv_Click(); });
    connect(m_cmdBrowseFolder, &QPushButton::clicked, this, [this] { cmdBrowseFolder_Click(); });
    connect(m_cmdConvert, &QPushButton::clicked, this, [this] { cmdConvert_Click(); });
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The longest description must fit in every language without the box changing size.
    setMinimumWidth(fontMetrics().averageCharWidth() * 70);
}

void frmMessageSet::createControls()
{
    m_lblCsv = named<QLabel>("lblCsv", this);
    m_txtCsv = named<QLineEdit>("txtCsv", this);
    m_cmdBrowseCsv = named<QPushButton>("cmdBrowseCsv", this);
    m_lblSystem = named<QLabel>("lblSystem", this);
    m_cboSystem = named<QComboBox>("cboSystem", this);
    for (const QString& system : phoneSystemNames()) {
        const SystemCaption* caption = captionOf(system);
        m_cboSystem->addItem(caption ? QString::fromUtf16(caption->name) : system, system);
    }
    m_lblSystemUse = named<QLabel>("lblSystemUse", this);
    m_lblSystemUse->setWordWrap(true);
    m_lblEncoding = named<QLabel>("lblEncoding", this);
    m_cboEncoding = named<QComboBox>("cboEncoding", this);
    m_lblFolder = named<QLabel>("lblFolder", this);
    m_txtFolder = named<QLineEdit>("txtFolder", this);
    m_cmdBrowseFolder = named<QPushButton>("cmdBrowseFolder", this);
    m_grpCodecCheck = named<QGroupBox>("grpCodecCheck", this);
    auto* codecs = new QHBoxLayout(m_grpCodecCheck);
    for (const auto& [keyword, name] : kCheckedCodecs) {
        auto* check = new QCheckBox(QString::fromUtf16(name), m_grpCodecCheck);
        check->setObjectName(QStringLiteral("chkCodec_") + QString::fromUtf16(keyword));
        codecs->addWidget(check);
    }
    m_buttons = named<QDialogButtonBox>("buttons", QDialogButtonBox::Close, this);
    m_cmdConvert = m_buttons->addButton(QString(), QDialogButtonBox::ActionRole);
    m_cmdConvert->setObjectName(QStringLiteral("cmdConvert"));
    m_cmdConvert->setDefault(true);
    // The default button is outlined either way: a ring shows when it has the focus.
    showFocusRing(m_cmdConvert);
    showFocusOnOpening(this);
    m_lblCsv->setBuddy(m_txtCsv);
    m_lblSystem->setBuddy(m_cboSystem);
    m_lblEncoding->setBuddy(m_cboEncoding);
    m_lblFolder->setBuddy(m_txtFolder);
}

void frmMessageSet::layOutControls()
{
    auto* fields = new QGridLayout;
    fields->addWidget(m_lblCsv, 0, 0);
    fields->addWidget(m_txtCsv, 0, 1);
    fields->addWidget(m_cmdBrowseCsv, 0, 2);
    fields->addWidget(m_lblSystem, 1, 0);
    fields->addWidget(m_cboSystem, 1, 1, 1, 2);
    fields->addWidget(m_lblSystemUse, 2, 1, 1, 2);
    fields->addWidget(m_lblEncoding, 3, 0);
    fields->addWidget(m_cboEncoding, 3, 1, 1, 2);
    fields->addWidget(m_lblFolder, 4, 0);
    fields->addWidget(m_txtFolder, 4, 1);
    fields->addWidget(m_cmdBrowseFolder, 4, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_grpCodecCheck);
    layout->addWidget(m_buttons);
}

void frmMessageSet::frmMessageSet_Auto_Init()
{
    setWindowTitle(myLoadResString(IDS_MESSAGE_SET_TITLE));
    m_lblCsv->setText(myLoadResString(IDS_MESSAGE_SET_CSV_LABEL));
    m_cmdBrowseCsv->setText(myLoadResString(IDS_BROWSE));
    m_lblSystem->setText(myLoadResString(IDS_MESSAGE_SET_SYSTEM_LABEL));
    m_lblEncoding->setText(myLoadResString(IDS_ENCODING_LABEL));
    m_lblFolder->setText(myLoadResString(IDS_MESSAGE_SET_FOLDER_LABEL));
    m_cmdBrowseFolder->setText(myLoadResString(IDS_BROWSE));
    m_grpCodecCheck->setTitle(myLoadResString(IDS_MESSAGE_SET_CODECS_LABEL));
    m_cmdConvert->setText(myLoadResString(IDS_MESSAGE_SET_CONVERT));
    systemChanged();
}

QString frmMessageSet::chosenSystem() const
{
    return m_cboSystem->currentData().toString();
}

void frmMessageSet::systemChanged()
{
    const QString system = chosenSystem();
    const QList<Encoding> choices = encodingChoices(system);
    const QSignalBlocker quiet(m_cboEncoding);
    const QVariant before = m_cboEncoding->currentData();
    m_cboEncoding->clear();
    if (choices.isEmpty()) {
        // The system fixes its encodings: they are shown, not offered.
        QStringList fixed;
        for (const SystemFile& file : layoutFor(system, {}).files)
            if (!fixed.contains(encodingName(file.format.encoding)))
                fixed << encodingName(file.format.encoding);
        m_cboEncoding->addItem(fixed.join(QStringLiteral(", ")));
    } else {
        for (const Encoding encoding : choices)
            m_cboEncoding->addItem(encodingName(encoding), static_cast<int>(encoding));
        m_cboEncoding->setCurrentIndex(std::max(0, m_cboEncoding->findData(before)));
    }
    m_cboEncoding->setEnabled(!choices.isEmpty());
    showSystemUse();
}

void frmMessageSet::showSystemUse()
{
    const SystemCaption* caption = captionOf(chosenSystem());
    if (caption && caption->use) {
        m_lblSystemUse->setText(myLoadResString(*caption->use));
        return;
    }
    OutputFormat format;
    if (m_cboEncoding->isEnabled())
        format.encoding = static_cast<Encoding>(m_cboEncoding->currentData().toInt());
    m_lblSystemUse->setText(formatUse(format));
}

void frmMessageSet::cmdBrowseCsv_Click()
{
    try {
        OpenDialogRequest request;
        request.title = myLoadResString(IDS_MESSAGE_SET_CSV_DIALOG_TITLE);
        request.filters = {myLoadResString(IDS_CSV_FILES) + QStringLiteral(" (*.csv)"),
                           myLoadResString(IDS_ALL_FILES) + QStringLiteral(" (*)")};
        request.directory =
            m_txtCsv->text().isEmpty() ? QDir::homePath() : QFileInfo(m_txtCsv->text()).absolutePath();
        m_txtCsv->setText(openDialog().ShowOpen(request).constFirst());
    } catch (...) {
        // Cancel: the name stays as it was.
    }
}

void frmMessageSet::cmdBrowseFolder_Click()
{
    try {
        OpenDialogRequest request;
        request.title = myLoadResString(IDS_MESSAGE_SET_FOLDER_DIALOG_TITLE);
        request.folder = true;
        request.directory = m_txtFolder->text().isEmpty() ? QDir::homePath() : m_txtFolder->text();
        m_txtFolder->setText(openDialog().ShowOpen(request).constFirst());
    } catch (...) {
        // Cancel: the folder stays as it was.
    }
}

void frmMessageSet::remember()
{
    try {
        writeMessageSetSettings({m_txtCsv->text(), chosenSystem(), m_txtFolder->text()});
    } catch (const AppError& e) {
        // The set runs all the same; it is only not remembered.
        messages().show(formatErrorReport(myLoadResString(IDS_ERROR_PREFIX), e, QStringLiteral(")")),
                        MessageButtons::Ok, {});
    }
}

frmMessageSet::Finished frmMessageSet::runSet(const QString& csv, const QString& system,
                                              const FormatChoice& choice, const QString& folder)
{
    Finished finished;
    QProgressDialog progress(this);
    progress.setObjectName(QStringLiteral("prgMessageSet"));
    progress.setWindowTitle(windowTitle());
    progress.setLabelText(myLoadResString(IDS_MESSAGE_SET_PROGRESS));
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    progress.setRange(0, 0);
    std::atomic<bool> cancelled = false;
    connect(&progress, &QProgressDialog::canceled, this, [&cancelled] { cancelled = true; });

    // The set runs on its own thread; its progress comes back to this one as events, each waited
    // for, so that a Cancel clicked on one step stops the set at the next.
    MessageSetRun run(m_programDir);
    const std::vector<codecs::Codec> codecs = chosenCodecs();
    run.setProgress([this, &progress, &cancelled](int done, int total) {
        QMetaObject::invokeMethod(
            &progress,
            [this, &progress, done, total] {
                progress.setMaximum(total);
                progress.setValue(done);
                emit progressed(done, total);
            },
            Qt::BlockingQueuedConnection);
        return !cancelled;
    });
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            finished.outcome = run.run(csv, system, choice, folder);
            if (!finished.outcome.cancelled)
                finished.codecLines = codecFindings(csv, choice, codecs, m_programDir);
        } catch (const AppError& e) {
            finished.error = e;
        } catch (const std::exception& e) {
            finished.error = AppError(AppError::DeviceIoError, QString::fromUtf8(e.what()));
        }
    }));
    QEventLoop wait;
    connect(worker.get(), &QThread::finished, &wait, &QEventLoop::quit);
    worker->start();
    wait.exec();
    worker->wait();
    return finished;
}

std::vector<codecs::Codec> frmMessageSet::chosenCodecs() const
{
    std::vector<codecs::Codec> chosen;
    for (const auto& [keyword, name] : kCheckedCodecs) {
        const auto* box =
            m_grpCodecCheck->findChild<QCheckBox*>(QStringLiteral("chkCodec_") + QString::fromUtf16(keyword));
        if (box != nullptr && box->isChecked())
            if (const auto codec = codecs::codecFromName(QString::fromUtf16(keyword).toStdString()))
                chosen.push_back(*codec);
    }
    return chosen;
}

void frmMessageSet::cmdConvert_Click()
{
    remember();
    const QString folder = QDir::current().absoluteFilePath(m_txtFolder->text());
    FormatChoice choice;
    if (m_cboEncoding->isEnabled())
        choice.encoding = static_cast<Encoding>(m_cboEncoding->currentData().toInt());
    const auto [outcome, error, codecLines] =
        runSet(QDir::current().absoluteFilePath(m_txtCsv->text()), chosenSystem(), choice, folder);

    if (error && error->number == AppError::InvalidProcedureCall) {
        // A set refused as it stands: nothing ran, and the box says what to change.
        messages().show(error->description, MessageButtons::Ok, windowTitle());
        return;
    }
    const QString shownFolder = QDir::toNativeSeparators(folder);
    if (error) {
        emit summarized(myLoadResString(IDS_MESSAGE_SET_FAILED).arg(shownFolder, error->description));
        return;
    }
    if (outcome.cancelled) {
        emit summarized(myLoadResString(IDS_MESSAGE_SET_CANCELLED).arg(shownFolder));
        return;
    }
    QSet<QString> messageNames;
    for (const WrittenFile& file : outcome.files)
        messageNames.insert(file.message);
    emit summarized(myLoadResString(IDS_MESSAGE_SET_WRITTEN)
                        .arg(m_cboSystem->currentText(), QString::number(messageNames.size()),
                             QString::number(outcome.files.size()), shownFolder));
    for (const QString& line : codecLines)
        emit summarized(line);
    accept();
}

} // namespace quillfen
