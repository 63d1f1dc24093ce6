// The German texts of scanning: every status the scanning code reports, the
// SANE status codes and the mode names, exactly as the windows show them.

#include "resources/ScanMessages.h"

#include <gtest/gtest.h>

namespace knetix {
namespace {

TEST(ScanMessages, EveryProblemHasItsText)
{
    const int jammed = int(SaneCode::Jammed);
    const struct {
        ScanStatus status;
        const char* text;
    } cases[] = {
        {{}, ""},
        {{ScanProblem::SaneStartFailed, int(SaneCode::NoMemory)},
         "Die Scannerschnittstelle SANE lässt sich nicht starten: "
         "Für den Scanvorgang ist nicht genügend Arbeitsspeicher frei."},
        {{ScanProblem::DeviceListUnavailable, int(SaneCode::IoError)},
         "Die Liste der Scanner ist nicht verfügbar: Fehler bei der Verbindung zum Scanner."},
        {{ScanProblem::OpenFailed, int(SaneCode::Invalid), "test:99"},
         "Der Scanner „test:99“ lässt sich nicht öffnen: "
         "Der Scanner hat eine Einstellung als ungültig abgelehnt."},
        {{ScanProblem::NotOpen}, "Es ist kein Scanner geöffnet."},
        {ScanStatus::device(jammed), "Papierstau im Scanner."},
        {{ScanProblem::OptionRejected}, "Der Scanner erlaubt diese Einstellung nicht."},
        {{ScanProblem::NoSuchOption, 0, "gamma"}, "Der Scanner hat keine Einstellung „gamma“."},
        {{ScanProblem::NotANumber, 0, "viel"}, "„viel“ ist keine Zahl."},
        {{ScanProblem::ValueTooLong, 0, "mode"}, "Der Wert für „mode“ ist zu lang."},
        {{ScanProblem::NoLineart}, "Der Scanner kann keine Strichzeichnung scannen."},
        {{ScanProblem::ModeUnavailable, 0, {}, ScanMode::Gray}, "Der Scanner kann nicht in „Graustufen“ scannen."},
        {{ScanProblem::NoResolution}, "Bei diesem Scanner lässt sich die Auflösung nicht einstellen."},
        {{ScanProblem::EmptyArea},
         "Der Scanbereich ist leer: rechts muss größer als links und unten größer als oben sein."},
        {{ScanProblem::BadDataSize}, "Der Scanner hat eine ungültige Datenmenge gemeldet."},
        {{ScanProblem::TooMuchData}, "Der Scanner liefert weit mehr Daten als angekündigt."},
        {{ScanProblem::TooManyFrames}, "Der Scanner hat mehr Teilbilder geliefert als erwartet."},
        {{ScanProblem::UnknownFormat}, "Der Scanner liefert ein Bildformat, das Knetix nicht lesen kann."},
        {{ScanProblem::UnknownDepth}, "Der Scanner liefert eine Farbtiefe, die Knetix nicht lesen kann."},
        {{ScanProblem::NoSize}, "Der Scanner meldet ein Bild ohne Breite oder Höhe."},
        {{ScanProblem::TooLarge}, "Das gescannte Bild ist zu groß."},
        {{ScanProblem::BadLineLength}, "Der Scanner meldet eine Zeilenlänge, die nicht zur Bildbreite passt."},
        {{ScanProblem::NoFrames}, "Der Scanner hat kein Bild geliefert."},
        {{ScanProblem::MismatchedPasses}, "Die Farbauszüge des Scanners passen nicht zusammen."},
        {{ScanProblem::PassSizesDiffer}, "Die Farbauszüge des Scanners sind verschieden groß."},
        {{ScanProblem::MissingPasses}, "Der Scanner hat nicht alle drei Farbauszüge geliefert."},
        {{ScanProblem::NoWholeLine}, "Der Scanner hat keine vollständige Bildzeile geliefert."},
        {{ScanProblem::OutOfMemory}, "Für das gescannte Bild ist nicht genügend Arbeitsspeicher frei."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scanMessage(c.status), c.text) << int(c.status.problem);
}

TEST(ScanMessages, SaneStatusCodesAndModes)
{
    EXPECT_EQ(saneStatusMessage(int(SaneCode::NoDocuments)), "Im Scanner liegt keine Vorlage.");
    EXPECT_EQ(saneStatusMessage(int(SaneCode::DeviceBusy)), "Der Scanner ist belegt.");
    EXPECT_EQ(saneStatusMessage(int(SaneCode::WarmingUp)),
              "Die Lampe des Scanners wärmt sich noch auf. Bitte versuchen Sie es gleich noch einmal.");
    EXPECT_EQ(saneStatusMessage(99), "Unbekannter Fehler des Scanners (Status 99).");
    EXPECT_EQ(saneStatusMessage(-1), "Unbekannter Fehler des Scanners (Status -1).");
    // Every known code has a text of its own.
    for (int status = 1; status <= int(SaneCode::HardwareLocked); ++status)
        EXPECT_EQ(saneStatusMessage(status).find("Status"), std::string::npos) << status;

    EXPECT_EQ(scanModeName(ScanMode::Color), "Farbe");
    EXPECT_EQ(scanModeName(ScanMode::Gray), "Graustufen");
    EXPECT_EQ(scanModeName(ScanMode::Lineart), "Strichzeichnung");
}

} // namespace
} // namespace knetix
