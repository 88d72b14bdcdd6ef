#pragma once

namespace tf {

struct ConfigSettings;
class UserInterface;

// Whether to search online for a disc the PC has no titles for: never or always as the
// settings say (never wins), otherwise the user is asked.
bool askToSearchOnline(const ConfigSettings& settings, UserInterface& ui);

// The online and CD TEXT lookup flow, as the tabs and operations call it. Operations define
// it so that they never depend on the lookup code, which implements it (CddbLookupService);
// NullLookupService looks up nothing.
class LookupService {
public:
    virtual ~LookupService() = default;

    // Looks up titles for `disc` from its CD TEXT, or online when it has none; true when
    // titles were found and written.
    virtual bool CD_TEXT_load_Not_CDDB(int disc) = 0;
    // Looks up titles for `disc` in the online database; true when titles were written.
    virtual bool Web_search_CDDB(int disc) = 0;
    // The online pass over every disc after a read of all discs.
    virtual void lookUpAllDiscs() = 0;
};

class NullLookupService : public LookupService {
public:
    bool CD_TEXT_load_Not_CDDB(int) override { return false; }
    bool Web_search_CDDB(int) override { return false; }
    void lookUpAllDiscs() override {}
};

} // namespace tf
