// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/BitrateMenu.h"

#include <QSettings>
#include <cmath>

#include "common/ProgramNames.h"

namespace {

constexpr int kMenuKbps[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                             96, 112, 128, 144, 160, 192, 224, 256, 320};

QSettings& Store(QSettings& settings) {
    settings.beginGroup(ProgramNames::kSettingsGroup);
    return settings;
}

}  // namespace

const QStringList& BitrateMenuEntries() {
    static const QStringList entries = [] {
        QStringList list;
        for (int kbps : kMenuKbps) list << QStringLiteral("Reduce to %1 kbps").arg(kbps);
        return list;
    }();
    return entries;
}

int MenuIndexFromSetting(const QString& strStored) {
    bool blnOk = false;
    const double dblValue = strStored.trimmed().toDouble(&blnOk);
    if (!blnOk || !std::isfinite(dblValue) || dblValue != std::floor(dblValue)) {
        return kDefaultMenuIndex;
    }
    if (dblValue < 0 || dblValue >= BitrateMenuEntries().size()) return kDefaultMenuIndex;
    return static_cast<int>(dblValue);
}

QString ReadMenuSetting() {
    QSettings settings(ProgramNames::kOrganisation, ProgramNames::kApplication);
    return Store(settings).value(QStringLiteral("Combo1"), QStringLiteral("9")).toString();
}

void WriteMenuSetting(int intIndex) {
    QSettings settings(ProgramNames::kOrganisation, ProgramNames::kApplication);
    Store(settings).setValue(QStringLiteral("Combo1"), QString::number(intIndex));
    settings.endGroup();
    settings.sync();
}
