#include "temperatureprofile.h"

#include <QStringList>

#include <cmath>

std::optional<TemperatureProfile> TemperatureProfile::parse(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    static const std::pair<const char *, Kind> kinds[] = {
            {"ramp", Kind::Ramp},
            {"step", Kind::Step},
            {"square", Kind::Square},
            {"chatter", Kind::Chatter},
    };
    TemperatureProfile profile;
    bool known = false;
    for (const auto &[name, kind] : kinds) {
        if (parts.first() == QLatin1String(name)) {
            profile.kind = kind;
            known = true;
        }
    }
    const int numbers = profile.kind == Kind::Chatter ? 2 : 3;
    if (!known || parts.size() != numbers + 1)
        return std::nullopt;
    double *const fields[] = {&profile.from, &profile.to, &profile.seconds};
    for (int i = 0; i < numbers; ++i) {
        bool ok = false;
        *fields[i] = parts[i + 1].toDouble(&ok);
        if (!ok || !std::isfinite(*fields[i]))
            return std::nullopt;
    }
    if (profile.seconds < 0 || (profile.kind == Kind::Square && profile.seconds <= 0))
        return std::nullopt;
    return profile;
}

double TemperatureProfile::at(double t, std::mt19937 &noise) const
{
    switch (kind) {
    case Kind::Ramp:
        return seconds > 0 && t < seconds ? from + (to - from) * std::max(t, 0.0) / seconds : to;
    case Kind::Step:
        return t < seconds ? from : to;
    case Kind::Square:
        return std::fmod(std::max(t, 0.0), seconds) < seconds / 2 ? from : to;
    case Kind::Chatter:
        break;
    }
    return from + std::uniform_real_distribution<double>(-std::abs(to), std::abs(to))(noise);
}
