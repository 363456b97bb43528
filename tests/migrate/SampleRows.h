#pragma once
// Version-4 rows for the end-to-end tests: one or a few records per case
// the migration must handle.

#include <string>

namespace migratetest {

// 120 characters.
inline const std::string kLongMethod =
    "Pagamento in tre rate: trenta, sessanta e novanta giorni dalla data della fattura, con ricevuta bancaria e spese a carico";
// 300 characters.
inline const std::string kLongNote = std::string(290, 'n') + "0123456789";

inline std::string BaseRows() {
    return R"SQL(
INSERT INTO "Fornitori" ("id","Denominazione","Telefono1","Telefono2","EMAIL","HTTP","Fax","CodFiscale","Piva","PivaCEE",
  "LocalitàSC","IndirizzoSC","idStatoSC","idProvinciaSC","idCAPSC","LocalitàSL","IndirizzoSL","idStatoSL","idProvinciaSL","idCAPSL",
  "PercProvvigioni","PEnas","PEnasAz","ImpMassimoEuro","ImpMinimoEuro","ImpPagatoEuro","PEnasSub","PEnasAzSub",
  "ImpMassimoEuroSub","ImpMinimoEuroSub","ImpPagatoEuroSub")
VALUES ('F1','Rossi Forniture S.r.l.','02 1234567',NULL,'info@rossi.it','www.rossiforniture-industriali-e-commerciali-del-nord-italia.it',
  '02 7654321','RSSMRA80A01F205X','IT12345678901','IT12345678901EU',
  'Forlì','Via Roma, 1','Italia','MI-XX','201210','Sant''Agata','Via Verdi, 2','San Marino','RSM','47890-X',
  7.5,8.5,4.5,38000.25,450.5,1200,6,3,25000,300.75,0);
INSERT INTO "Fornitori" ("id","Denominazione") VALUES ('F-DUE','AB');
INSERT INTO "Fornitori" ("id","Denominazione") VALUES ('F-NULL',NULL);
INSERT INTO "Fornitori" ("id","Denominazione") VALUES ('F-VUOTO','');
INSERT INTO "Fornitori" ("id","Denominazione") VALUES ('F-TRE','Eco');
INSERT INTO "Fornitori" ("id","Denominazione","CodFiscale") VALUES ('FORNITORE-LUNGO','Commercio all''ingrosso di prodotti alimentari','BNCGPP75C12H501Z');
INSERT INTO "Fornitori" ("id","Denominazione") VALUES ('F-ACC','Attività già più città così però perché lì né');

INSERT INTO "Area" VALUES ('NORD','Italia settentrionale');
INSERT INTO "Area" VALUES ('D''ALFA','Area alfa');
INSERT INTO "Area" VALUES ('A-LUNGA-DESCR','Descrizione di area lunga quaranta carat');
INSERT INTO "Area" VALUES ('','Area senza codice');

INSERT INTO "Zona" VALUES ('Z1','Zona uno','NORD');
INSERT INTO "Zona" VALUES ('Z2','Zona due','ZZ99');
INSERT INTO "Zona" VALUES ('Z3','Zona tre','D''ALFA');
INSERT INTO "Zona" VALUES ('Z4','Zona quattro','A-LUNGA-DESCR');
INSERT INTO "Zona" VALUES ('Z5','Zona cinque',NULL);

INSERT INTO "Pagamenti" VALUES ('RB','Ricevuta bancaria',1);
INSERT INTO "Pagamenti" VALUES ('RD','Rimessa diretta',0);

INSERT INTO "ModalitaPagamento" VALUES ('M1',')SQL" + kLongMethod + R"SQL(',3,
  '30',' 60 gg',NULL,'abc','','&H1E','1.5e1','-7 giorni',NULL,NULL,NULL,NULL);

INSERT INTO "CatArt" VALUES ('FER','Ferramenta',NULL);
INSERT INTO "CatArt" VALUES ('','Generica','Categoria senza codice');

INSERT INTO "IVA" VALUES ('22','Ordinaria',22.0,')SQL" + kLongNote + R"SQL(');

INSERT INTO "Listini" VALUES ('L1','Base',0,NULL);
INSERT INTO "Listini" VALUES ('L2','Rivenditori',-10,'L1');
INSERT INTO "Listini" VALUES ('L3','Promozionale',-15,'L5');
INSERT INTO "Listini" VALUES ('L4','Speciale',5,'L4');
INSERT INTO "Listini" VALUES ('L5','Ingrosso',-20,'L1');

INSERT INTO "Unita" VALUES ('PZ','Pezzi');

INSERT INTO "Agenti" ("id","Denominazione","Telefono1","LocalitàSC","IndirizzoSC","idStatoSC","idProvinciaSC","idCAPSC",
  "PercProvvigioni","RitAcc1","RitAcc2","idABI","idCAB","ContoCorrente","idArea","idZona","Attivo")
VALUES ('AG1','Bianchi Marco','333 1234567','Cantù','Via Milano, 3','Italia','COMO','22063-A',
  1.5,23,20,'03069-12345','01600-98765','000012345678-000098765432-XY','NORD','Z1',0);
INSERT INTO "Agenti" ("id","Denominazione") VALUES ('AG-DUE','Bo');
INSERT INTO "Agenti" ("id","Denominazione","idArea","idZona") VALUES ('AGENTE-LUNGO-1','Verdi Anna','XX',NULL);

INSERT INTO "Clienti" ("id","Denominazione","ContattoCogn","ContattoNome","ContattoOrario","ContattoPosizione",
  "Sct1","Sct2","Sct3","Sct4","Sct5","idABI","idCAB","ContoCorrente","idABI1","idCAB1","ContoCorrente1",
  "LocalitàSL","idCAPSL","idCategoria","idBonta","idPagamento","idModalitaPagamento","idListino","idMandante",
  "idArea","idZona","CodAgente")
VALUES ('C1','Bar Sport','Dell''Acqua Bianchi Montecatini Terme','Giovanni Battista Maria Luigi Francesco',
  'dalle 9 alle 13, 15-19','Responsabile degli acquisti e della logistica interna',
  5,3,0,0,1.5,'03069','01600','IT60X0542811101000000123456','01005','03002','000000123456',
  'Città di Castello','06012','A','2','RB','M1','L2','F1','NORD','Z1','AG1');
INSERT INTO "Clienti" ("id","Denominazione","idCategoria","idBonta","idPagamento","idModalitaPagamento","idListino",
  "idMandante","idArea","idZona","CodAgente")
VALUES ('C2','Bar dell''Angolo',NULL,'9','XX',NULL,NULL,'F-DUE','D''ALFA','ZZ','AG-DUE');
INSERT INTO "Clienti" ("id","Denominazione") VALUES ('C3','Ok');
INSERT INTO "Clienti" ("id","Denominazione") VALUES ('C4',NULL);
INSERT INTO "Clienti" ("id","Denominazione","idMandante","CodAgente") VALUES ('CLIENTE-LUNGO-5','Tre','FORNITORE-LUNGO','AGENTE-LUNGO-1');

INSERT INTO "Articoli" ("id","Descrizione","Note","PrezzoUnitarioEuro","Quantita","Produttore","Sconto1","Sconto2",
  "Sconto3","Sconto4","Sconto5","PMinimoEuro","QuantitaMin","idCategoria1","idCategoria2","idUnita","idFornitore","idIVA")
VALUES ('A1','Vite autofilettante 4x30',')SQL" + kLongNote + R"SQL(',1.2345,10,'Fratelli Bertolini',5,2,1,0.5,0.25,0.99,6,
  'FER',NULL,'PZ','F1','22');
INSERT INTO "Articoli" ("id","Descrizione","idCategoria1","idFornitore") VALUES ('A2',')SQL" + std::string(255, 'd') + R"SQL(','NOPE','F-DUE');
INSERT INTO "Articoli" ("id","Descrizione") VALUES ('A''3','Cacciavite dell''elettricista');

INSERT INTO "ArtList" VALUES (1,'L1','A1',1.5,0);
INSERT INTO "ArtList" VALUES (2,'L1','A1',1.5,0);
INSERT INTO "ArtList" VALUES (3,'L9','A1',1,0);
INSERT INTO "ArtList" VALUES (4,'L2','NOPE',1,0);
INSERT INTO "ArtList" VALUES (5,NULL,'A1',1,0);
INSERT INTO "ArtList" VALUES (6,'L2','A''3',1,0);
)SQL";
}

}  // namespace migratetest
