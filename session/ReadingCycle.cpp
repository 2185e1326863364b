#include "session/ReadingCycle.h"

#include "core/Nelm.h"
#include "core/ReadingDisplay.h"
#include "core/ReadingsFile.h"
#include "meter/Dm_SQMBase.h"
#include "sharing/ReadingSharing.h"

std::string ReadingFieldName(TReadingField field) {
    switch (field) {
    case TReadingField::Model:
        return "Model";
    case TReadingField::Serial:
        return "Serial Number";
    case TReadingField::Protocol:
        return "Protocol Version";
    case TReadingField::Feature:
        return "Feature Version";
    case TReadingField::Magnitude:
        return "Reading in Mag/Sq Arcsec";
    case TReadingField::Nelm:
        return "NELM (Theoretical)";
    case TReadingField::Temperature:
        return "Temp at Sensor";
    case TReadingField::Time:
        break;
    }
    return "Time of Reading";
}

bool TReadingTexts::IsComplete() const {
    for (const std::optional<std::string>& field : Fields)
        if (!field)
            return false;
    return true;
}

TReadingOutcome TReadingCycle::Run(TCycleKind kind, const std::optional<std::string>& storeTo,
                                   const TShowField& show) {
    TReadingOutcome outcome;
    try {
        try {
            Take(outcome, storeTo, show);
        } catch (...) {
            Link.Disconnect();
            throw;
        }
        Link.Disconnect();
        outcome.Taken = true;
        return outcome;
    } catch (const ESqm& e) {
        outcome.Message = e.what();
    } catch (const EConvertError& e) {
        outcome.Message = kind == TCycleKind::Single ? NotValidReading : e.what();
    } catch (const std::exception& e) {
        outcome.Message = e.what();
        if (kind == TCycleKind::Single)
            outcome.Unexpected = std::current_exception();
    } catch (...) {
        outcome.Message = "Unknown exception.";
        if (kind == TCycleKind::Single)
            outcome.Unexpected = std::current_exception();
    }
    outcome.StopsTicks = kind == TCycleKind::Tick;
    return outcome;
}

void TReadingCycle::Take(TReadingOutcome& outcome, const std::optional<std::string>& storeTo,
                         const TShowField& show) {
    const auto set = [&](TReadingField field, const std::string& text) {
        outcome.Texts.Fields[static_cast<int>(field)] = text;
        if (show)
            show(field, text);
    };
    Link.Connect();
    Link.ReadUnitInfo();
    set(TReadingField::Model, UnitFieldText(Link.GetModelNumber()));
    set(TReadingField::Serial, UnitFieldText(Link.GetSerialNumber()));
    set(TReadingField::Protocol, UnitFieldText(Link.GetProtocolVersion()));
    set(TReadingField::Feature, UnitFieldText(Link.GetFeatureVersion()));
    Link.ReadReading();
    const double magnitude = Link.GetMagnitude();
    set(TReadingField::Magnitude, MagnitudeText(magnitude));
    const double nelm = ComputeNelm(magnitude);
    set(TReadingField::Nelm, NelmText(nelm));
    set(TReadingField::Temperature, TemperatureText(Link.GetTemperature()));
    set(TReadingField::Time, ReadingTimeText(Link.GetReadingTime()));
    if (storeTo) {
        TSaveResult saved = SaveReadingToFile(*storeTo, Link);
        outcome.Stored = saved.Stored;
        outcome.StoreNotice = std::move(saved.Notice);
    }
    Share(outcome, nelm);
}

void TReadingCycle::Share(TReadingOutcome& outcome, double nelm) {
    if (!Sharing)
        return;
    try {
        outcome.SharingNotices = Sharing->Share(Link, nelm);
    } catch (const std::exception& e) {
        outcome.SharingNotices.push_back(std::string("The reading was not shared: ") + e.what());
    }
}
