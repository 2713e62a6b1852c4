#include "app/settings.h"

#include <fstream>
#include <istream>
#include <ostream>

#include "app/text.h"

namespace {

void reportUnreadable(std::ostream& errors, const std::string& key, const std::string& value) {
    errors << "config.txt: " << key << " value '" << value << "' is not a number, keeping the default\n";
}

void readValue(const std::string& key, const std::string& value, GameSettings& settings,
               std::ostream& errors) {
    bool read = true;
    if (key == "sensitivity") {
        read = parseFloat(value, settings.sensitivity);
    } else if (key == "minstars") {
        read = parseInt(value, settings.minStars);
    } else if (key == "maxstars") {
        read = parseInt(value, settings.maxStars);
    } else if (key == "mapdimensions") {
        read = parseInt(value, settings.mapDimensions);
    } else if (key == "playerskin") {
        read = parseBool(value, settings.playerSkin);
    }
    if (!read) {
        reportUnreadable(errors, key, value);
    }
}

void limitStars(int32_t& stars, const char* key, std::ostream& errors) {
    if (stars > kMaxStars) {
        errors << "config.txt: " << key << " " << stars << " is above " << kMaxStars << ", using " << kMaxStars
               << "\n";
        stars = kMaxStars;
    }
}

void checkStarBounds(GameSettings& settings, std::ostream& errors) {
    limitStars(settings.minStars, "minstars", errors);
    limitStars(settings.maxStars, "maxstars", errors);
    if (settings.minStars <= 0 || settings.maxStars <= 0) {
        return;
    }
    if (settings.minStars > settings.maxStars) {
        const int32_t swapped = settings.minStars;
        settings.minStars = settings.maxStars;
        settings.maxStars = swapped;
    }
    if (settings.minStars == settings.maxStars) {
        settings.maxStars = settings.minStars + 1;
    }
}

void checkMapDimensions(GameSettings& settings, std::ostream& errors) {
    if (settings.mapDimensions < kMinMapDimensions) {
        settings.mapDimensions = kMinMapDimensions;
    }
    if (settings.mapDimensions > kMaxMapDimensions) {
        errors << "config.txt: mapdimensions " << settings.mapDimensions << " is above " << kMaxMapDimensions
               << ", using " << kMaxMapDimensions << "\n";
        settings.mapDimensions = kMaxMapDimensions;
    }
}

}  // namespace

void readSettings(std::istream& in, GameSettings& settings, std::ostream& errors) {
    std::string key;
    std::string value;
    while (in >> key) {
        if (!(in >> value)) {
            value.clear();
        }
        readValue(key, value, settings, errors);
    }
    checkStarBounds(settings, errors);
    checkMapDimensions(settings, errors);
}

bool loadSettings(const std::string& path, GameSettings& settings, std::ostream& errors) {
    std::ifstream file(path);
    if (!file) {
        return false;
    }
    readSettings(file, settings, errors);
    return true;
}

bool readConnectionTokens(std::istream& in, int32_t& port, std::string& host) {
    constexpr int32_t kHighestPort = 65535;
    std::string portToken;
    std::string hostToken;
    in >> portToken >> hostToken;
    host = hostToken.empty() ? "NULL" : hostToken;  // kept even when the port is unusable
    if (!parseInt(portToken, port) || port < 0 || port > kHighestPort) {
        port = -1;
        return false;
    }
    return !hostToken.empty();
}
