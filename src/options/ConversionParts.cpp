#include "options/ConversionParts.h"

#include "files/FileStore.h"
#include "images/ImageStore.h"
#include "journal/JournalStore.h"
#include "vault/RecordSealing.h"

namespace ks {

QList<ConversionPart> accountConversionParts() {
    return {sealRecords, sealJournal, sealImages, sealFiles};
}

}  // namespace ks
