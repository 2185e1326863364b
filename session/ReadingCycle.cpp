#include "session/ReadingCycle.h"

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

std::string FieldText(TReadingField field, const TReading& reading) {
    switch (field) {
    case TReadingField::Model:
        return UnitFieldText(reading.ModelNumber);
    case TReadingField::Serial:
        return UnitFieldText(reading.SerialNumber);
    case TReadingField::Protocol:
        return UnitFieldText(reading.ProtocolVersion);
    case TReadingField::Feature:
        return UnitFieldText(reading.FeatureVersion);
    case TReadingField::Magnitude:
        return MagnitudeText(reading.Magnitude);
    case TReadingField::Nelm:
        return NelmText(reading.Nelm);
    case TReadingField::Temperature:
        return TemperatureText(reading.Temperature);
    case TReadingField::Time:
        break;
    }
    return ReadingTimeText(reading.Time);
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
    const TReadingValueMade made = [&](TReadingField field, const TReading& reading) {
        const std::string text = FieldText(field, reading);
        outcome.Texts.Fields[static_cast<int>(field)] = text;
        if (show)
            show(field, text);
    };
    TReading reading;
    Link.Connect();
    Link.ReadUnitInfo();
    TakeUnitInfo(Link, reading, made);
    Link.ReadReading();
    TakeReadingValues(Link, reading, made);
    outcome.Reading = reading;
    if (storeTo) {
        TSaveResult saved = SaveReadingToFile(*storeTo, reading);
        outcome.Stored = saved.Stored;
        outcome.StoreNotice = std::move(saved.Notice);
    }
    Share(outcome, reading);
}

void TReadingCycle::Share(TReadingOutcome& outcome, const TReading& reading) {
    if (!Sharing)
        return;
    try {
        outcome.SharingNotices = Sharing->Share(reading, [this] {
            Link.ReadCalibration();
            return Link.CalibrationReply;
        });
    } catch (const std::exception& e) {
        outcome.SharingNotices.push_back(
            {ENoticeSeverity::Warning, std::string("The reading was not shared: ") + e.what()});
    }
}
