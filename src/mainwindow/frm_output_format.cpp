#include "mainwindow/frm_output_format.h"

#include "localization/string_table.h"
#include "localization/widgets/fonts.h"
#include "settings/output_format_settings.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace quillfen {

frmOutputFormat::frmOutputFormat(const OutputFormat& current, QWidget* parent) : QDialog(parent)
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
    m_lblFormatUse = new QLabel(this);
    m_lblFormatUse->setObjectName(QStringLiteral("lblFormatUse"));
    m_lblFormatUse->setWordWrap(true);
    m_cmdOK = new QPushButton(this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_lblEncoding->setBuddy(m_cboEncoding);
    m_lblSampleRate->setBuddy(m_cboSampleRate);
    m_lblLevel->setBuddy(m_txtLevel);

    auto* fields = new QFormLayout;
    fields->addRow(m_lblEncoding, m_cboEncoding);
    fields->addRow(m_lblSampleRate, m_cboSampleRate);
    fields->addRow(m_lblLevel, m_txtLevel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_lblFormatUse);
    layout->addLayout(buttons);

    m_cboEncoding->setCurrentIndex(m_cboEncoding->findData(static_cast<int>(current.encoding)));
    m_cboSampleRate->setCurrentIndex(m_cboSampleRate->findData(current.sampleRate));
    m_txtLevel->setValue(current.levelTenths / 10.0);
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
    for (int i = 0; i < m_cboEncoding->count(); ++i)
        m_cboEncoding->setItemText(i,
                                   encodingName(static_cast<Encoding>(m_cboEncoding->itemData(i).toInt())));
    m_cmdOK->setText(myLoadResString(IDS_OK));
    showUse();
}

OutputFormat frmOutputFormat::chosen() const
{
    return {static_cast<Encoding>(m_cboEncoding->currentData().toInt()),
            m_cboSampleRate->currentData().toInt(),
            static_cast<int>(std::lround(m_txtLevel->value() * 10.0))};
}

void frmOutputFormat::showUse()
{
    m_lblFormatUse->setText(formatUse(chosen()));
}

std::optional<OutputFormat> askOutputFormat(const OutputFormat& current, QWidget* parent)
{
    frmOutputFormat box(current, parent);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.chosen();
}

OutputFormat storedOutputFormat()
{
    const StoredOutputFormat stored = readOutputFormatSettings();
    OutputFormat format;
    if (const auto encoding = parseEncoding(stored.encoding.value_or(QString())))
        format.encoding = *encoding;
    if (const auto rate = parseSampleRate(stored.rate.value_or(QString())))
        format.sampleRate = *rate;
    if (const auto level = parseLevel(stored.level.value_or(QString())))
        format.levelTenths = *level;
    return format;
}

void storeOutputFormat(const OutputFormat& format)
{
    writeOutputFormatSettings(encodingKeyword(format.encoding), QString::number(format.sampleRate),
                              levelText(format.levelTenths));
}

} // namespace quillfen
