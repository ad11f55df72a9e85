#pragma once

class QMainWindow;

namespace ks {

struct Services;
class VaultPage;

// The menu items that take data in and out of the vault: "Import Records..." and
// "Export Records..." in the Password Vault menu, "Export Journal..." in the Journal menu.
// An import fills the vault's lists again.
void addTransferMenuItems(QMainWindow& window, Services& services, VaultPage& vault);

}  // namespace ks
