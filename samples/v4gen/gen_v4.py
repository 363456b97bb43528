#!/usr/bin/env python3
"""Writes a version-4 archive as an encrypted SQLite file.

The SQL (structure from v4_schema.sql, then the rows) is piped into the
`sqlcipher` shell. The data are invented but realistic Italian registries
and articles, the same for the same seed and sizes, and include the cases
the migration must handle: short and Null names, Null codes, codes longer
than 10 characters, codes with apostrophes, codes that name nothing, price
lists that refer to an earlier, a later and their own code, and duplicate
article/price-list links.

    gen_v4.py --out archivio4.sqlite                 # the sample archive
    gen_v4.py --out big.sqlite --size bench          # the benchmark archive
    gen_v4.py --sql-only > v4.sql                    # the SQL, without a key
"""

import argparse
import os
import random
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

SIZES = {
    # principals, areas, zones, sub-agents, customers, articles, links
    "sample": dict(principals=30, areas=12, zones=30, agents=20, customers=400, articles=800, links=1600),
    "medium": dict(principals=500, areas=100, zones=100, agents=200, customers=10000, articles=20000,
                   links=50000),
    "bench": dict(principals=5000, areas=1000, zones=1000, agents=2000, customers=100000, articles=200000,
                  links=500000),
}

CITIES = [
    ("Milano", "MI", "20121"), ("Roma", "RM", "00184"), ("Torino", "TO", "10121"), ("Napoli", "NA", "80133"),
    ("Bologna", "BO", "40121"), ("Firenze", "FI", "50122"), ("Genova", "GE", "16121"), ("Verona", "VR", "37121"),
    ("Padova", "PD", "35122"), ("Bari", "BA", "70121"), ("Palermo", "PA", "90133"), ("Brescia", "BS", "25121"),
    ("Bergamo", "BG", "24121"), ("Forlì", "FC", "47121"), ("Cantù", "CO", "22063"), ("Reggio nell'Emilia", "RE", "42121"),
    ("L'Aquila", "AQ", "67100"), ("Sant'Agata Bolognese", "BO", "40019"), ("Trento", "TN", "38122"),
    ("Udine", "UD", "33100"), ("Perugia", "PG", "06121"), ("Ancona", "AN", "60121"), ("Pescara", "PE", "65121"),
    ("Lecce", "LE", "73100"), ("Cagliari", "CA", "09124"), ("Sassari", "SS", "07100"), ("Vicenza", "VI", "36100"),
]
STREETS = ["Via Roma", "Via Garibaldi", "Corso Italia", "Via Mazzini", "Viale della Repubblica", "Via Cavour",
           "Piazza del Popolo", "Via Dante Alighieri", "Via XX Settembre", "Via dell'Industria", "Via Verdi",
           "Corso Vittorio Emanuele II", "Via San Francesco d'Assisi", "Via Marconi", "Via dei Mille"]
SURNAMES = ["Rossi", "Russo", "Ferrari", "Esposito", "Bianchi", "Romano", "Colombo", "Ricci", "Marino", "Greco",
            "Bruno", "Gallo", "Conti", "De Luca", "Mancini", "Costa", "Giordano", "Rizzo", "Lombardi", "Moretti",
            "Barbieri", "Fontana", "Santoro", "Mariani", "Rinaldi", "Caruso", "Ferrara", "Galli", "Martini",
            "Leone", "Longo", "Gentile", "Martinelli", "Vitale", "Lombardo", "Serra", "Coppola", "De Santis",
            "D'Angelo", "Marchetti", "Parisi", "Villa", "Conte", "Ferraro", "Ferri", "Fabbri", "Bianco", "Marini",
            "Grasso", "Valentini", "Messina", "Sala", "De Angelis", "Gatti", "Pellegrini", "Palumbo", "Sanna",
            "Farina", "Rizzi", "Monti", "Cattaneo", "Morelli", "Amato", "Silvestri", "Mazza", "Testa", "Dell'Orto"]
NAMES = ["Marco", "Giulia", "Luca", "Francesca", "Andrea", "Chiara", "Matteo", "Sara", "Alessandro", "Elena",
         "Davide", "Valentina", "Stefano", "Federica", "Paolo", "Silvia", "Giorgio", "Martina", "Nicolò", "Ilaria"]
TRADES = ["Ferramenta", "Alimentari", "Tessuti", "Arredamenti", "Elettroforniture", "Cartoleria", "Ottica",
          "Calzature", "Casalinghi", "Idraulica", "Vini", "Caffè", "Pelletterie", "Ceramiche", "Tipografia"]
FORMS = ["S.r.l.", "S.p.A.", "S.n.c.", "S.a.s.", "& Figli", "di {n} {s}"]
ROLES = ["Titolare", "Responsabile acquisti", "Amministrazione", "Magazzino", "Direttore commerciale"]
HOURS = ["9-13", "8:30-12:30", "14-18", "9-12 / 15-19", "mattina"]
PRODUCTS = ["Vite autofilettante", "Tassello in nylon", "Pennello piatto", "Nastro adesivo", "Guanti da lavoro",
            "Olio extravergine", "Pasta di semola", "Caffè in grani", "Tovaglia in lino", "Piastrella in gres",
            "Lampadina LED", "Cavo elettrico", "Rubinetto miscelatore", "Quaderno a righe", "Penna a sfera",
            "Scarpa antinfortunistica", "Bicchiere in vetro", "Sedia pieghevole", "Vino rosso DOC", "Borsa in pelle"]
MAKERS = ["Fratelli Bertolini", "Officine Meccaniche Lariane", "Pastificio Di Martino", "Cartiere Fabriano",
          "Vetreria Murano Arte", "Ceramiche d'Este", "Torrefazione Trieste", "Calzaturificio Marchigiano", None]
STATES = ["Italia", "Italia", "Italia", "Italia", "San Marino", "Svizzera"]


def q(value):
    if value is None:
        return "NULL"
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, (int, float)):
        return repr(value)
    return "'" + str(value).replace("'", "''") + "'"


class Writer:
    """Collects rows per table and writes multi-row INSERTs."""

    def __init__(self, out):
        self.out = out

    def insert(self, table, columns, rows):
        cols = ", ".join('"%s"' % c for c in columns)
        for start in range(0, len(rows), 400):
            chunk = rows[start:start + 400]
            self.out.write('INSERT INTO "%s" (%s) VALUES\n' % (table, cols))
            self.out.write(",\n".join("(" + ", ".join(q(v) for v in row) + ")" for row in chunk))
            self.out.write(";\n")


def money(rng, low, high):
    return round(rng.uniform(low, high), 2)


def company(rng):
    s = rng.choice(SURNAMES)
    form = rng.choice(FORMS).format(n=rng.choice(NAMES), s=rng.choice(SURNAMES))
    return ("%s %s %s" % (rng.choice(TRADES), s, form))[:50]


def phone(rng):
    return "0%d %d" % (rng.randint(2, 99), rng.randint(100000, 9999999))


def tax_code(rng):
    letters = "ABCDEFGHILMNOPRSTUVZ"
    return "".join(rng.choice(letters) for _ in range(6)) + "%02d" % rng.randint(40, 99) + rng.choice("ABCDEHLMPRST") \
        + "%02d" % rng.randint(1, 71) + rng.choice(letters) + "%03d" % rng.randint(1, 999) + rng.choice(letters)


def vat_number(rng):
    return "%011d" % rng.randint(10 ** 9, 10 ** 11 - 1)


def address(rng):
    city, prov, cap = rng.choice(CITIES)
    return [city, "%s, %d" % (rng.choice(STREETS), rng.randint(1, 220)), rng.choice(STATES), prov, cap]


def web(rng, name):
    slug = "".join(c for c in name.lower() if c.isalnum())[:20]
    return "www.%s.it" % slug, "info@%s.it" % slug


def registry_head(rng, code, name):
    site, mail = web(rng, name or "azienda")
    return [code, name, phone(rng), rng.choice([phone(rng), None, ""]), mail, site, rng.choice([phone(rng), None]),
            tax_code(rng), vat_number(rng), "IT" + vat_number(rng)]


HEAD = ["id", "Denominazione", "Telefono1", "Telefono2", "EMAIL", "HTTP", "Fax", "CodFiscale", "Piva", "PivaCEE"]
SC = ["LocalitàSC", "IndirizzoSC", "idStatoSC", "idProvinciaSC", "idCAPSC"]
SL = ["LocalitàSL", "IndirizzoSL", "idStatoSL", "idProvinciaSL", "idCAPSL"]


def generate(out, sizes, seed):
    rng = random.Random(seed)
    w = Writer(out)

    # Principals (version-4 suppliers).
    cols = HEAD + SC + SL + ["PercProvvigioni", "PEnas", "PEnasAz", "ImpMassimo", "ImpMassimoEuro", "ImpMinimoEuro",
                             "ImpPagatoEuro", "PEnasSub", "PEnasAzSub", "ImpMassimoEuroSub", "ImpMinimoEuroSub",
                             "ImpPagatoEuroSub", "Note", "DataInserimento"]

    def principal(code, name):
        return registry_head(rng, code, name) + address(rng) + address(rng) + [
            rng.choice([3.0, 5.0, 7.5, 8.0, 10.0]), 8.5, 4.5, money(rng, 1e6, 6e7), money(rng, 30000, 40000),
            money(rng, 400, 900), money(rng, 0, 5000), 6.0, 3.0, money(rng, 20000, 30000), money(rng, 200, 500),
            money(rng, 0, 2000), rng.choice([None, "", "Mandato in esclusiva per il Nord Italia"]),
            "20%02d-%02d-%02d 00:00:00" % (rng.randint(0, 9), rng.randint(1, 12), rng.randint(1, 28))]

    rows = []
    special = [("F-CORTO", "AB"), ("F-NULLO", None), ("F-VUOTO", ""), ("F-ECO", "Eco"),
               ("FORNITORE-LUNGO-01", "Distribuzione Articoli Tecnici per l'Industria"),
               ("F'APO", "Forniture dell'Adriatico S.r.l.")]
    for code, name in special:
        rows.append(principal(code, name))
    rows[4][8] = "IT12345678901"  # a 13-character VAT number, cut to 11
    for i in range(1, sizes["principals"] + 1 - len(special)):
        rows.append(principal("F%04d" % i, company(rng)))
    principal_codes = [r[0] for r in rows]
    w.insert("Fornitori", cols, rows)

    # Areas and zones.
    areas = [("NORD", "Italia settentrionale"), ("CENTRO", "Italia centrale"), ("SUD", "Italia meridionale e isole"),
             ("D'ALFA", "Zona dell'Alfa (area di prova)"),
             ("EST-ADRIATICA", "Costa adriatica: Marche, Abruzzo, Molise e Puglia")]
    for i in range(len(areas), sizes["areas"]):
        areas.append(("A%03d" % i, "Area commerciale %d" % i))
    w.insert("Area", ["id", "Descrizione"], areas)
    area_codes = [a[0] for a in areas]

    zones = [("MI", "Milano e hinterland", "NORD"), ("TO", "Torino e provincia", "NORD"),
             ("RM", "Roma e Lazio", "CENTRO"), ("AQ", "L'Aquila", "D'ALFA"), ("XX", "Zona senza area", "ZZ99"),
             ("NA", "Napoli e Campania", None)]
    for i in range(len(zones), sizes["zones"]):
        zones.append(("Z%04d" % i, "Zona %d" % i, rng.choice(area_codes)))
    w.insert("Zona", ["id", "Descrizione", "idArea"], zones)
    zone_codes = [z[0] for z in zones]

    payments = [("RB", "Ricevuta bancaria", True), ("RD", "Rimessa diretta", False), ("BB", "Bonifico bancario", False),
                ("CON", "Contrassegno", False), ("ASS", "Assegno", False)]
    w.insert("Pagamenti", ["id", "Descrizione", "RiBa"], payments)

    scad = ["Scad%d" % i for i in range(1, 13)]
    methods = [
        ["RD", "Rimessa diretta vista fattura", 1, "0"] + [None] * 11,
        ["30", "30 giorni data fattura", 1, "30"] + [""] * 11,
        ["3060", "30/60 giorni fine mese", 2, "30", " 60 gg fm"] + [None] * 10,
        ["306090", "30/60/90 giorni data fattura", 3, "30", "60", None, "90"] + [None] * 8,
        ["HEX", "Scadenze scritte in esadecimale", 2, "&H1E", "&O74"] + [None] * 10,
        ["LUNGA", "Pagamento rateale in dodici rate mensili con ricevuta bancaria; la prima rata scade a trenta "
                  "giorni dalla data della fattura", 12] + [str(30 * k) for k in range(1, 13)],
    ]
    w.insert("ModalitaPagamento", ["id", "Descrizione", "Rate"] + scad, methods)

    categories = [("FER", "Ferramenta", "Viteria, bulloneria e utensili"), ("ALI", "Alimentari", None),
                  ("", "Categoria generica", "Codice vuoto: raccoglie gli articoli senza categoria"),
                  ("ELE", "Materiale elettrico", ""), ("CAS", "Casalinghi", None), ("CAR", "Cartoleria", None),
                  ("ABB", "Abbigliamento da lavoro", None), ("VIN", "Vini e liquori", None)]
    w.insert("CatArt", ["id", "Descrizione", "Note"], categories)
    category_codes = [c[0] for c in categories]

    vat = [("22", "Aliquota ordinaria 22%", 22.0, None), ("10", "Aliquota ridotta 10%", 10.0, ""),
           ("4", "Aliquota minima 4%", 4.0, "Beni di prima necessità"),
           ("ES15", "Escluso art. 15", 0.0, "Nota lunga: " + "operazione esclusa dalla base imponibile; " * 7)]
    w.insert("IVA", ["id", "Descrizione", "Percentuale", "Note"], vat)

    # L02 refers to an earlier list, L03 to a later one, L04 to itself.
    price_lists = [("L01", "Listino base", 0.0, None), ("L02", "Listino rivenditori", -10.0, "L01"),
                   ("L03", "Listino promozionale", -15.0, "L05"), ("L04", "Listino speciale", 5.0, "L04"),
                   ("L05", "Listino ingrosso", -20.0, "L01"), ("L'EST", "Listino dell'Est", 2.5, "")]
    w.insert("Listini", ["id", "Descrizione", "Perc", "idListino"], price_lists)
    list_codes = [p[0] for p in price_lists]

    units = [("PZ", "Pezzi"), ("KG", "Chilogrammi"), ("LT", "Litri"), ("MT", "Metri"), ("CF", "Confezioni"),
             ("MQ", "Metri quadrati"), ("PA", "Paia"), ("BT", "Bottiglie")]
    w.insert("Unita", ["id", "Descrizione"], units)
    unit_codes = [u[0] for u in units]

    # Sub-agents (version-4 agents).
    cols = HEAD + SC + ["PercProvvigioni", "RitAcc1", "RitAcc2", "idABI", "idCAB", "ContoCorrente", "idArea", "idZona",
                        "Attivo", "Note"]

    def agent(code, name, area, zone):
        return registry_head(rng, code, name) + address(rng) + [
            rng.choice([1.0, 1.5, 2.0]), 23.0, 20.0, "%05d" % rng.randint(1000, 9999), "%05d" % rng.randint(1000, 99999),
            "%012d" % rng.randint(1, 10 ** 12 - 1), area, zone, rng.random() < 0.9, None]

    rows = [agent("AG-CORTO", "Bo", "NORD", "MI"), agent("AG-NULLO", None, "SUD", "NA"),
            agent("AGENTE-LUNGO-7", "%s %s" % (rng.choice(NAMES), rng.choice(SURNAMES)), "D'ALFA", "AQ")]
    for i in range(1, sizes["agents"] + 1 - len(rows)):
        rows.append(agent("AG%04d" % i, "%s %s" % (rng.choice(SURNAMES), rng.choice(NAMES)),
                          rng.choice(area_codes + ["ZZ99"]), rng.choice(zone_codes)))
    agent_codes = [r[0] for r in rows]
    w.insert("Agenti", cols, rows)

    # Customers.
    cols = HEAD + SC + SL + ["ContattoCogn", "ContattoNome", "ContattoOrario", "ContattoPosizione",
                             "Sct1", "Sct2", "Sct3", "Sct4", "Sct5", "idABI", "idCAB", "ContoCorrente",
                             "idABI1", "idCAB1", "ContoCorrente1", "idCategoria", "idBonta", "idPagamento",
                             "idModalitaPagamento", "idListino", "idMandante", "idArea", "idZona", "CodAgente",
                             "Fido", "Note", "DataInserimento"]
    method_codes = [m[0] for m in methods]

    def customer(code, name, **refs):
        row = registry_head(rng, code, name) + address(rng) + address(rng) + [
            rng.choice(SURNAMES + ["Dell'Acqua Bianchi Montecatini"]), rng.choice(NAMES),
            rng.choice(HOURS + ["dalle 9 alle 13 e dalle 15 alle 19"]), rng.choice(ROLES),
            rng.choice([0.0, 2.0, 5.0]), rng.choice([0.0, 3.0]), 0.0, 0.0, 0.0,
            "%05d" % rng.randint(1000, 9999), "%05d" % rng.randint(1000, 99999), "%012d" % rng.randint(1, 10 ** 12 - 1),
            rng.choice([None, "03069"]), rng.choice([None, "01600"]), rng.choice([None, "IT60X0542811101000000123456"]),
            rng.choice(["A", "B", "C", "D", "E"]), rng.choice(["1", "2", "3", "4", None]),
            rng.choice([p[0] for p in payments] + ["XX"]), rng.choice(method_codes),
            rng.choice(list_codes + [None]), rng.choice(principal_codes), rng.choice(area_codes),
            rng.choice(zone_codes + ["ZZ99"]), rng.choice(agent_codes), money(rng, 0, 50000), None,
            "20%02d-%02d-%02d 00:00:00" % (rng.randint(0, 9), rng.randint(1, 12), rng.randint(1, 28))]
        names = cols
        for key, value in refs.items():
            row[names.index(key)] = value
        return row

    rows = [customer("C-CORTO", "Ok"), customer("C-NULLO", None), customer("C-TRE", "Bar"),
            customer("CLIENTE-LUNGO-0001", "Trattoria da Mario di Mario Rossi e Figli S.n.c. Roma"),
            customer("C'APO", "Bar dell'Angolo", idArea="D'ALFA", idZona="AQ", idListino="L'EST",
                     idMandante="F'APO", CodAgente="AG-CORTO"),
            customer("C-LUNGHI", "Ferramenta Lunghi", idMandante="FORNITORE-LUNGO-01", CodAgente="AGENTE-LUNGO-7",
                     idListino=None, idCategoria=None, idBonta="9", idZona="ZZ99")]
    for i in range(1, sizes["customers"] + 1 - len(rows)):
        rows.append(customer("C%06d" % i, company(rng)))
    w.insert("Clienti", cols, rows)

    # Articles.
    cols = ["id", "Descrizione", "Note", "PrezzoUnitario", "PrezzoUnitarioEuro", "Quantita", "Produttore",
            "Sconto1", "Sconto2", "Sconto3", "Sconto4", "Sconto5", "PMinimo", "PMinimoEuro", "QuantitaMin",
            "idCategoria1", "idCategoria2", "idUnita", "idFornitore", "idIVA"]

    def article(code, description, cat2="random", supplier=None):
        price = money(rng, 0.5, 900)
        return [code, description, rng.choice([None, "", "Disponibile su ordinazione"]), round(price * 1936.27, 0),
                price, float(rng.randint(0, 500)), rng.choice(MAKERS), rng.choice([0.0, 5.0, 10.0]), 0.0, 0.0, 0.0, 0.0,
                round(price * 0.8 * 1936.27, 0), round(price * 0.8, 2), float(rng.choice([1, 1, 6, 12])),
                rng.choice(category_codes), rng.choice(category_codes + [None]) if cat2 == "random" else cat2,
                rng.choice(unit_codes), supplier or rng.choice(principal_codes), rng.choice([v[0] for v in vat])]

    rows = [article("A-NULLCAT", "Articolo senza seconda categoria", cat2=None),
            article("A-CORTO", "Articolo del fornitore scartato", supplier="F-CORTO"),
            article("ARTICOLO-LUNGO-01", "Descrizione molto lunga: " + "set completo di utensili professionali, " * 5),
            article("A'APO", "Cacciavite dell'elettricista")]
    for i in range(1, sizes["articles"] + 1 - len(rows)):
        rows.append(article("A%07d" % i, "%s %s" % (rng.choice(PRODUCTS), rng.choice(["piccolo", "medio", "grande",
                                                                                     "professionale", "conf. 10"]))))
    article_codes = [r[0] for r in rows]
    w.insert("Articoli", cols, rows)

    # Links between articles and price lists.
    rows = [[1, "L01", "A-NULLCAT", 10.5, 0.0], [2, "L01", "A-NULLCAT", 10.5, 0.0],  # duplicate
            [3, "L99", "A'APO", 3.0, 0.0],  # price list that does not exist: not carried
            [4, "L'EST", "A'APO", 3.2, 0.0], [5, "L02", "NESSUNO", 1.0, 0.0],  # article that does not exist
            [6, None, "A-CORTO", 1.0, 0.0], [7, "L03", "ARTICOLO-LUNGO-01", 99.9, 5.0]]
    for i in range(len(rows) + 1, sizes["links"] + 1):
        rows.append([i, rng.choice(list_codes), rng.choice(article_codes), money(rng, 0.5, 900),
                     rng.choice([0.0, 5.0])])
    w.insert("ArtList", ["Progressivo", "idListino", "idArticolo", "PrezzoEuro", "Sconto"], rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", help="the archive to write (replaced if it exists)")
    parser.add_argument("--key", default="vup", help="password of the archive")
    parser.add_argument("--seed", type=int, default=4)
    parser.add_argument("--size", choices=sorted(SIZES), default="sample")
    parser.add_argument("--sql-only", action="store_true", help="print the SQL instead of running sqlcipher")
    args = parser.parse_args()
    if not args.sql_only and not args.out:
        parser.error("--out is required")

    def write_all(out):
        if not args.sql_only and args.key:
            out.write("PRAGMA key = %s;\nPRAGMA cipher_compatibility = 3;\n" % q(args.key))
        with open(os.path.join(HERE, "v4_schema.sql"), encoding="utf-8") as schema:
            out.write(schema.read())
        out.write("BEGIN;\n")
        generate(out, SIZES[args.size], args.seed)
        out.write("COMMIT;\n")

    if args.sql_only:
        write_all(sys.stdout)
        return
    if os.path.exists(args.out):
        os.remove(args.out)
    proc = subprocess.Popen(["sqlcipher", "-bail", args.out], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            encoding="utf-8")
    write_all(proc.stdin)
    proc.stdin.close()
    if proc.wait() != 0:
        sys.exit("sqlcipher failed")


if __name__ == "__main__":
    main()
