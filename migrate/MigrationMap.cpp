#include "migrate/MigrationMap.h"

namespace migrate {

namespace {

FieldRow Copy(std::string destination, std::string source) {
    return {std::move(destination), std::move(source), Rule::Copy, 0, {}, {}};
}
FieldRow Cut(std::string destination, std::string source, int length) {
    return {std::move(destination), std::move(source), Rule::Cut, length, {}, {}};
}
FieldRow Number(std::string destination, std::string source) {
    return {std::move(destination), std::move(source), Rule::Number, 0, {}, {}};
}
FieldRow Constant(std::string destination, core::Variant value) {
    return {std::move(destination), {}, Rule::Constant, 0, std::move(value), {}};
}
FieldRow Lookup(std::string destination, std::string source, std::string table) {
    return {std::move(destination), std::move(source), Rule::Lookup, 0, {}, std::move(table)};
}

// Code and name, telephones, e-mail, web site, fax, tax code and VAT
// numbers: the same in principals, sub-agents and customers.
std::vector<FieldRow> RegistryHead() {
    return {
        Cut("sCodice", "id", 10),
        Cut("sCognome", "Denominazione", 30),
        Copy("sDenominazione", "Denominazione"),
        Copy("sTelefono1", "Telefono1"),
        Copy("sTelefono2", "Telefono2"),
        Copy("sEMail", "EMAIL"),
        Cut("sSitoWeb", "HTTP", 50),
        Copy("sFax", "Fax"),
        Cut("sCoFiscale", "CodFiscale", 16),
        Cut("sPartitaIVA", "Piva", 11),
        Cut("sPartitaIVACEE", "PivaCEE", 20),
    };
}

// One address group (suffix "SC" or "SL") into the given destination fields.
std::vector<FieldRow> Address(const std::string& suffix, const std::string& city, const std::string& street,
                              const std::string& state, const std::string& province, const std::string& postCode) {
    return {
        Copy(city, "Località" + suffix),
        Copy(street, "Indirizzo" + suffix),
        Copy(state, "idStato" + suffix),
        Cut(province, "idProvincia" + suffix, 2),
        Cut(postCode, "idCAP" + suffix, 5),
    };
}

void Append(std::vector<FieldRow>& rows, std::vector<FieldRow> more) {
    for (auto& row : more) rows.push_back(std::move(row));
}

TableStep Principals() {
    TableStep step{1, "Fornitori", "tblAnMandanti", RecordFilter::Name, RegistryHead()};
    Append(step.rows, Address("SC", "sSCCitta", "sSCIndirizzo", "sSCStato", "sSCProvincia", "sSCCap"));
    Append(step.rows, Address("SL", "sSLCitta", "sSLIndirizzo", "sSLStato", "sSLProvincia", "sSLCap"));
    Append(step.rows, {
                          Copy("nProvvigione", "PercProvvigioni"),
                          Copy("nEAAgente", "PEnas"),
                          Copy("nEAAzienda", "PEnasAz"),
                          Copy("nEAMassimale", "ImpMassimoEuro"),
                          Copy("nEAMinimale", "ImpMinimoEuro"),
                          Copy("nEAPagato", "ImpPagatoEuro"),
                          Copy("nESAgente", "PEnasSub"),
                          Copy("nESAzienda", "PEnasAzSub"),
                          Copy("nESMassimale", "ImpMassimoEuroSub"),
                          Copy("nESMinimale", "ImpMinimoEuroSub"),
                          Copy("nESPagato", "ImpPagatoEuroSub"),
                      });
    return step;
}

// Code cut to 10 and description cut to descriptionLength: the head of
// every code table.
TableStep CodeTable(int number, std::string source, std::string destination, int descriptionLength = 30) {
    return {number, std::move(source), std::move(destination), RecordFilter::None,
            {Cut("sCodice", "id", 10), Cut("sDescrizione", "Descrizione", descriptionLength)}};
}

TableStep PaymentMethods() {
    TableStep step = CodeTable(5, "ModalitaPagamento", "tblMoPagamento", 100);
    step.rows.push_back(Copy("nRate", "Rate"));
    for (int i = 1; i <= 12; ++i) {
        const std::string two = (i < 10 ? "0" : "") + std::to_string(i);
        step.rows.push_back(Number("nScad" + two, "Scad" + std::to_string(i)));
    }
    return step;
}

TableStep SubAgents() {
    TableStep step{10, "Agenti", "tblAnSubAgenti", RecordFilter::Name, RegistryHead()};
    Append(step.rows, Address("SC", "sCitta", "sIndirizzo", "sStato", "sProvincia", "sCap"));
    Append(step.rows, {
                          Copy("nProvvigione", "PercProvvigioni"),
                          Copy("nRiAcconto1", "RitAcc1"),
                          Copy("nRiAcconto2", "RitAcc2"),
                          Cut("sABI1", "idABI", 10),
                          Cut("sCAB1", "idCAB", 10),
                          Cut("sCoCorrente1", "ContoCorrente", 25),
                          Constant("IDTiMandato", core::Variant(1)),
                          Lookup("IDArea", "idArea", "tblAree"),
                          Lookup("IDZona", "idZona", "tblZone"),
                      });
    return step;
}

TableStep Customers() {
    TableStep step{11, "Clienti", "tblAnClienti", RecordFilter::Name, RegistryHead()};
    Append(step.rows, Address("SC", "sSCCitta", "sSCIndirizzo", "sSCStato", "sSCProvincia", "sSCCap"));
    Append(step.rows, Address("SL", "sSLCitta", "sSLIndirizzo", "sSLStato", "sSLProvincia", "sSLCap"));
    Append(step.rows, {
                          Cut("sCOCognome", "ContattoCogn", 30),
                          Cut("sCONome", "ContattoNome", 30),
                          Cut("sCOOrario", "ContattoOrario", 15),
                          Cut("sCOPosizione", "ContattoPosizione", 50),
                          Copy("nSconto1", "Sct1"),
                          Copy("nSconto2", "Sct2"),
                          Copy("nSconto3", "Sct3"),
                          Copy("nSconto4", "Sct4"),
                          Copy("nSconto5", "Sct5"),
                          Cut("sABI1", "idABI", 10),
                          Cut("sCAB1", "idCAB", 10),
                          Cut("sCoCorrente1", "ContoCorrente", 25),
                          Cut("sABI2", "idABI1", 10),
                          Cut("sCAB2", "idCAB1", 10),
                          Cut("sCoCorrente2", "ContoCorrente1", 25),
                          Lookup("IDCategoria", "idCategoria", "tblCaClienti"),
                          Lookup("IDBonta", "idBonta", "tblBoClienti"),
                          Lookup("IDTiPagamento", "idPagamento", "tblTiPagamento"),
                          Lookup("IDMoPagamento", "idModalitaPagamento", "tblMoPagamento"),
                          Lookup("IDListino", "idListino", "tblListini"),
                          Lookup("IDMandante", "idMandante", "tblAnMandanti"),
                          Lookup("IDArea", "idArea", "tblAree"),
                          Lookup("IDZona", "idZona", "tblZone"),
                          Lookup("IDSubAgente", "CodAgente", "tblAnSubAgenti"),
                      });
    return step;
}

TableStep Articles() {
    return {12,
            "Articoli",
            "tblArticoli",
            RecordFilter::None,
            {
                Cut("sCodice", "id", 10),
                Copy("sDescrizione", "Descrizione"),
                Cut("sNote", "Note", 255),
                Copy("nPrezzo", "PrezzoUnitarioEuro"),
                Copy("nGiacenza", "Quantita"),
                Copy("sProduttore", "Produttore"),
                Copy("nSconto1", "Sconto1"),
                Copy("nSconto2", "Sconto2"),
                Copy("nSconto3", "Sconto3"),
                Copy("nSconto4", "Sconto4"),
                Copy("nSconto5", "Sconto5"),
                Copy("nPrMiListino", "PMinimoEuro"),
                Copy("nScMinima", "QuantitaMin"),
                Lookup("IDCategoria1", "idCategoria1", "tblCaArticoli"),
                Lookup("IDCategoria2", "idCategoria2", "tblCaArticoli"),
                Lookup("IDUnMisura", "idUnita", "tblUnMisura"),
                Lookup("IDMandante", "idFornitore", "tblAnMandanti"),
                Lookup("IDAliquotaIVA", "idIVA", "tblAliquoteIVA"),
            }};
}

std::vector<TableStep> BuildSteps() {
    std::vector<TableStep> steps;
    steps.push_back(Principals());
    steps.push_back(CodeTable(2, "Area", "tblAree"));
    TableStep zones = CodeTable(3, "Zona", "tblZone");
    zones.rows.push_back(Lookup("IDArea", "idArea", "tblAree"));
    steps.push_back(std::move(zones));
    steps.push_back(CodeTable(4, "Pagamenti", "tblTiPagamento"));
    steps.push_back(PaymentMethods());
    TableStep categories = CodeTable(6, "CatArt", "tblCaArticoli");
    categories.rows.push_back(Cut("sNote", "Note", 255));
    steps.push_back(std::move(categories));
    TableStep vat = CodeTable(7, "IVA", "tblAliquoteIVA");
    vat.rows.push_back(Copy("nPercentuale", "Percentuale"));
    vat.rows.push_back(Cut("sNote", "Note", 255));
    steps.push_back(std::move(vat));
    TableStep priceLists = CodeTable(8, "Listini", "tblListini");
    priceLists.rows.push_back(Copy("nPercentuale", "Perc"));
    priceLists.rows.push_back(Lookup("IDRiListino", "idListino", "tblListini"));
    steps.push_back(std::move(priceLists));
    steps.push_back(CodeTable(9, "Unita", "tblUnMisura"));
    steps.push_back(SubAgents());
    steps.push_back(Customers());
    steps.push_back(Articles());
    steps.push_back({13,
                     "ArtList",
                     "tblArListini",
                     RecordFilter::FirstLookupFound,
                     {
                         Lookup("IDListino", "idListino", "tblListini"),
                         Lookup("IDArticolo", "idArticolo", "tblArticoli"),
                     }});
    return steps;
}

}  // namespace

const std::vector<TableStep>& MigrationSteps() {
    static const std::vector<TableStep> steps = BuildSteps();
    return steps;
}

}  // namespace migrate
