#pragma once
// Touches the one sync-operation record (made when missing) so the mirror has a change to carry.

class PBSyncOperationManager {
public:
    static PBSyncOperationManager &shared();
    // On the stack's background context; saves it.
    void touch();
};
