#pragma once

#include <QLoggingCategory>

// Traces for developers, silent unless asked for: QT_LOGGING_RULES="quillfen.conversion*=true".
Q_DECLARE_LOGGING_CATEGORY(lcConversion)
