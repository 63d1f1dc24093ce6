#include "resources/ScanMessages.h"

namespace knetix {

std::string saneStatusMessage(int status)
{
    switch (SaneCode(status)) {
    case SaneCode::Good:
        return "Kein Fehler.";
    case SaneCode::Unsupported:
        return "Der Scanner unterstützt diesen Vorgang nicht.";
    case SaneCode::Cancelled:
        return "Der Scanvorgang wurde abgebrochen.";
    case SaneCode::DeviceBusy:
        return "Der Scanner ist belegt.";
    case SaneCode::Invalid:
        return "Der Scanner hat eine Einstellung als ungültig abgelehnt.";
    case SaneCode::Eof:
        return "Der Scanner hat keine Daten mehr geliefert.";
    case SaneCode::Jammed:
        return "Papierstau im Scanner.";
    case SaneCode::NoDocuments:
        return "Im Scanner liegt keine Vorlage.";
    case SaneCode::CoverOpen:
        return "Der Deckel des Scanners ist offen.";
    case SaneCode::IoError:
        return "Fehler bei der Verbindung zum Scanner.";
    case SaneCode::NoMemory:
        return "Für den Scanvorgang ist nicht genügend Arbeitsspeicher frei.";
    case SaneCode::AccessDenied:
        return "Der Zugriff auf den Scanner wurde verweigert.";
    case SaneCode::WarmingUp:
        return "Die Lampe des Scanners wärmt sich noch auf. Bitte versuchen Sie es gleich noch einmal.";
    case SaneCode::HardwareLocked:
        return "Der Scanner ist für den Transport verriegelt.";
    }
    return "Unbekannter Fehler des Scanners (Status " + std::to_string(status) + ").";
}

std::string_view scanModeName(ScanMode mode)
{
    switch (mode) {
    case ScanMode::Color:
        return "Farbe";
    case ScanMode::Gray:
        return "Graustufen";
    case ScanMode::Lineart:
        return "Strichzeichnung";
    }
    return {};
}

std::string scanMessage(const ScanStatus& status)
{
    // Without a default, the compiler names a problem that has no text yet.
    switch (status.problem) {
    case ScanProblem::None:
        return {};
    case ScanProblem::SaneStartFailed:
        return "Die Scannerschnittstelle SANE lässt sich nicht starten: " + saneStatusMessage(status.saneStatus);
    case ScanProblem::DeviceListUnavailable:
        return "Die Liste der Scanner ist nicht verfügbar: " + saneStatusMessage(status.saneStatus);
    case ScanProblem::OpenFailed:
        return "Der Scanner „" + status.detail +
               "“ lässt sich nicht öffnen: " + saneStatusMessage(status.saneStatus);
    case ScanProblem::NotOpen:
        return "Es ist kein Scanner geöffnet.";
    case ScanProblem::Device:
        return saneStatusMessage(status.saneStatus);
    case ScanProblem::OptionRejected:
        return "Der Scanner erlaubt diese Einstellung nicht.";
    case ScanProblem::NoSuchOption:
        return "Der Scanner hat keine Einstellung „" + status.detail + "“.";
    case ScanProblem::NotANumber:
        return "„" + status.detail + "“ ist keine Zahl.";
    case ScanProblem::ValueTooLong:
        return "Der Wert für „" + status.detail + "“ ist zu lang.";
    case ScanProblem::NoLineart:
        return "Der Scanner kann keine Strichzeichnung scannen.";
    case ScanProblem::ModeUnavailable:
        return "Der Scanner kann nicht in „" + std::string(scanModeName(status.mode)) + "“ scannen.";
    case ScanProblem::NoResolution:
        return "Bei diesem Scanner lässt sich die Auflösung nicht einstellen.";
    case ScanProblem::EmptyArea:
        return "Der Scanbereich ist leer: rechts muss größer als links und unten größer als oben sein.";
    case ScanProblem::BadDataSize:
        return "Der Scanner hat eine ungültige Datenmenge gemeldet.";
    case ScanProblem::TooMuchData:
        return "Der Scanner liefert weit mehr Daten als angekündigt.";
    case ScanProblem::TooManyFrames:
        return "Der Scanner hat mehr Teilbilder geliefert als erwartet.";
    case ScanProblem::UnknownFormat:
        return "Der Scanner liefert ein Bildformat, das Knetix nicht lesen kann.";
    case ScanProblem::UnknownDepth:
        return "Der Scanner liefert eine Farbtiefe, die Knetix nicht lesen kann.";
    case ScanProblem::NoSize:
        return "Der Scanner meldet ein Bild ohne Breite oder Höhe.";
    case ScanProblem::TooLarge:
        return "Das gescannte Bild ist zu groß.";
    case ScanProblem::BadLineLength:
        return "Der Scanner meldet eine Zeilenlänge, die nicht zur Bildbreite passt.";
    case ScanProblem::NoFrames:
        return "Der Scanner hat kein Bild geliefert.";
    case ScanProblem::MismatchedPasses:
        return "Die Farbauszüge des Scanners passen nicht zusammen.";
    case ScanProblem::PassSizesDiffer:
        return "Die Farbauszüge des Scanners sind verschieden groß.";
    case ScanProblem::MissingPasses:
        return "Der Scanner hat nicht alle drei Farbauszüge geliefert.";
    case ScanProblem::NoWholeLine:
        return "Der Scanner hat keine vollständige Bildzeile geliefert.";
    case ScanProblem::OutOfMemory:
        return "Für das gescannte Bild ist nicht genügend Arbeitsspeicher frei.";
    }
    return {};
}

} // namespace knetix
