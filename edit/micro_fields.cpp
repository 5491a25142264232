#include "edit/micro_fields.h"

namespace halvorn {

MicroFields loadMicroFields(const Microsequence& record) {
    return MicroFields{record.fractalType, record.period, record.description};
}

void storeMicroFields(const MicroFields& fields, std::optional<ParameterBytes> parameters,
                      Microsequence& record) {
    microsequenceFree(record);
    record.fractalType = fields.fractalType;
    record.period = fields.period;
    setDescription(record.description, fields.description);
    record.parameters = std::move(parameters);
}

}  // namespace halvorn
