#include "mainwindow/frm_output_format.h"

#include "localization/string_table.h"
#include "localization/widgets/fonts.h"
#include "platform/widgets/focus_ring.h"
#include "settings/output_format_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace quillfen {

frmOutputFormat::frmOutputFormat(const OutputFormat& current, QWidget* parent)
    : frmOutputFormat(OutputChoice{current, false}, parent)
{
}

frmOutputFormat::frmOutputFormat(const OutputChoice& current, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOutputFormat"));
    setModal(true);

    m_lblEncoding = new QLabel(this);
    m_lblEncoding->setObjectName(QStringLiteral("lblEncoding"));
    m_cboEncoding = new QComboBox(this);
    m_cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    for (const Encoding encoding : kEncodings)
        m_cboEncoding->addItem(QString(), QVariant::fromValue(static_cast<int>(encoding)));
    m_lblSampleRate = new QLabel(this);
    m_lblSampleRate->setObjectName(QStringLiteral("lblSampleRate"));
    m_cboSampleRate = new QComboBox(this);
    m_cboSampleRate->setObjectName(QStringLiteral("cboSampleRate"));
    for (const int rate : kSampleRates)
        m_cboSampleRate->addItem(QStringLiteral("%1 Hz").arg(rate), rate);
    m_lblLevel = new QLabel(this);
    m_lblLevel->setObjectName(QStringLiteral("lblLevel"));
    m_txtLevel = new QDoubleSpinBox(this);
    m_txtLevel->setObjectName(QStringLiteral("txtLevel"));
    m_txtLevel->setRange(OutputFormat::kMinLevelTenths / 10.0, OutputFormat::kMaxLevelTenths / 10.0);
    m_txtLevel->setDecimals(1);
    m_txtLevel->setSingleStep(0.5);
    m_lblBaud = new QLabel(this);
    m_lblBaud->setObjectName(QStringLiteral("lblBaud"));
    m_cboBaud = new QComboBox(this);
    m_cboBaud->setObjectName(QStringLiteral("cboBaud"));
    for (const LineBaud baud : kLineBauds)
        m_cboBaud->addItem(QString(), QVariant::fromValue(static_cast<int>(baud)));
    m_chkTransliterate = new QCheckBox(this);
    m_chkTransliterate->setObjectName(QStringLiteral("chkTransliterate"));
    m_lblFormatUse = new QLabel(this);
    m_lblFormatUse->setObjectName(QStringLiteral("lblFormatUse"));
    m_lblFormatUse->setWordWrap(true);
    m_cmdOK = new QPushButton(this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    // The default button is outlined either way: a ring shows when it has the focus.
    showFocusRing(m_cmdOK);
    showFocusOnOpening(this);
    m_lblEncoding->setBuddy(m_cboEncoding);
    m_lblSampleRate->setBuddy(m_cboSampleRate);
    m_lblLevel->setBuddy(m_txtLevel);
    m_lblBaud->setBuddy(m_cboBaud);

    auto* fields = new QFormLayout;
    fields->addRow(m_lblEncoding, m_cboEncoding);
    fields->addRow(m_lblSampleRate, m_cboSampleRate);
    fields->addRow(m_lblLevel, m_txtLevel);
    fields->addRow(m_lblBaud, m_cboBaud);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_lblFormatUse);
    layout->addWidget(m_chkTransliterate);
    layout->addLayout(buttons);

    const OutputFormat& format = current.format;
    m_cboEncoding->setCurrentIndex(m_cboEncoding->findData(static_cast<int>(format.encoding)));
    m_cboSampleRate->setCurrentIndex(m_cboSampleRate->findData(format.sampleRate));
    m_txtLevel->setValue(format.levelTenths / 10.0);
    m_cboBaud->setCurrentIndex(m_cboBaud->findData(static_cast<int>(format.baud)));
    m_chkTransliterate->setChecked(current.transliterate);
    frmOutputFormat_Auto_Init();
    SetFormFonts(this);

    connect(m_cboEncoding, &QComboBox::currentIndexChanged, this, [this] { showUse(); });
    connect(m_cboSampleRate, &QComboBox::currentIndexChanged, this, [this] { showUse(); });
    connect(m_cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    // The use line must fit its longest text in every language without the box changing size.
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);
}

void frmOutputFormat::frmOutputFormat_Auto_Init()
{
    setWindowTitle(myLoadResString(IDS_OUTPUT_FORMAT_TITLE));
    m_lblEncoding->setText(myLoadResString(IDS_ENCODING_LABEL));
    m_lblSampleRate->setText(myLoadResString(IDS_SAMPLE_RATE_LABEL));
    m_lblLevel->setText(myLoadResString(IDS_LEVEL_LABEL));
    m_lblBaud->setText(myLoadResString(IDS_BAUD_LABEL));
    for (int i = 0; i < m_cboBaud->count(); ++i)
        m_cboBaud->setItemText(
            i, myLoadResString(static_cast<LineBaud>(m_cboBaud->itemData(i).toInt()) == LineBaud::Baud50
                                   ? IDS_BAUD_50
                                   : IDS_BAUD_45));
    m_chkTransliterate->setText(myLoadResString(IDS_TRANSLITERATE_LABEL));
    for (int i = 0; i < m_cboEncoding->count(); ++i)
        m_cboEncoding->setItemText(i,
                                   encodingName(static_cast<Encoding>(m_cboEncoding->itemData(i).toInt())));
    m_cmdOK->setText(myLoadResString(IDS_OK));
    showUse();
}

OutputFormat frmOutputFormat::chosen() const
{
    return {static_cast<Encoding>(m_cboEncoding->currentData().toInt()),
            m_cboSampleRate->currentData().toInt(), static_cast<int>(std::lround(m_txtLevel->value() * 10.0)),
            static_cast<LineBaud>(m_cboBaud->currentData().toInt())};
}

OutputChoice frmOutputFormat::choice() const
{
    return {chosen(), m_chkTransliterate->isChecked()};
}

void frmOutputFormat::showUse()
{
    m_lblFormatUse->setText(formatUse(chosen()));
}

std::optional<OutputChoice> askOutputChoice(const OutputChoice& current, QWidget* parent)
{
    frmOutputFormat box(current, parent);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.choice();
}

OutputChoice storedOutputChoice()
{
    const StoredOutputFormat stored = readOutputFormatSettings();
    OutputChoice choice;
    OutputFormat& format = choice.format;
    if (const auto encoding = parseEncoding(stored.encoding.value_or(QString())))
        format.encoding = *encoding;
    if (const auto rate = parseSampleRate(stored.rate.value_or(QString())))
        format.sampleRate = *rate;
    if (const auto level = parseLevel(stored.level.value_or(QString())))
        format.levelTenths = *level;
    if (const auto baud = parseBaud(stored.baud.value_or(QString())))
        format.baud = *baud;
    choice.transliterate = stored.transliterate.value_or(QString()) == QLatin1String("1");
    return choice;
}

void storeOutputChoice(const OutputChoice& choice)
{
    const OutputFormat& format = choice.format;
    writeOutputFormatSettings(encodingKeyword(format.encoding), QString::number(format.sampleRate),
                              levelText(format.levelTenths));
    writeOutputBaudSetting(baudKeyword(format.baud));
    writeTransliterateSetting(choice.transliterate ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace quillfen
