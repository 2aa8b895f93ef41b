#include "host/kel_dm_tovra.h"

#include "base/kel_id.h"
#include "host/kel_dm_session.h"

KelUnicodeString KelDMTovra::DoubleToHexa(double d) { return KelId::FromDouble(d).Hex(); }

double KelDMTovra::HexaToDouble(const KelUnicodeString& hex) { return KelId::FromHexOrZero(hex).AsDouble(); }

KelDbConnection* KelDMTovra::GetConnection(const KelUnicodeString&) { return KelDMSession::Main(); }
