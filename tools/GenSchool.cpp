#include "GenSchool.h"

#include "exchange/ExchangeDocument.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/RunError.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QSet>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

using exchange::Document;
using exchange::Node;

namespace genschool {

namespace {

// Deterministic choices: mt19937_64 is the same everywhere, and we avoid the standard
// distributions, whose results differ between libraries.
class Rng {
public:
    explicit Rng(quint64 seed) : g_(seed) {}
    int below(int n) { return n <= 1 ? 0 : int(g_() % quint64(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(double p) { return double(g_() >> 11) * (1.0 / 9007199254740992.0) < p; }
    template <class T> const T& pick(const QList<T>& list) { return list[below(list.size())]; }
    template <class T> void shuffle(QList<T>& list) {
        for (qsizetype i = list.size() - 1; i > 0; --i)
            std::swap(list[i], list[below(int(i + 1))]);
    }

private:
    std::mt19937_64 g_;
};

// A count that is c1 at scale 1 and c10 at scale 10, growing as a power of the scale
// in between and beyond.
int scaled(double c1, double c10, double scale) {
    if (scale <= 0)
        return 0;
    return int(std::lround(c1 * std::pow(scale, std::log10(c10 / c1))));
}

// Increasing identifiers with small gaps, the way keys of a long-lived database look.
QList<qint64> keys(Rng& rng, qint64 start, int count) {
    QList<qint64> out;
    out.reserve(count);
    qint64 k = start;
    for (int i = 0; i < count; ++i) {
        k += rng.between(1, 4);
        out << k;
    }
    return out;
}

QString num(qint64 n) {
    return QString::number(n);
}

QString date(int day, int month, int year) {
    return QStringLiteral("%1/%2/%3")
        .arg(day, 2, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(year);
}

// ---------------------------------------------------------------------------------
// Content of the school

enum class Stage { Eso, Bach, Fp, Adult };

struct OfferTemplate {
    const char* level; // what the user types as the level (at most 5 characters)
    int course;
    const char* name;
    int units; // teaching units of this offering in the sample school
    Stage stage;
};

// The forty course offerings of one campus, in the order Veltra lists them. The units
// add up to thirty.
const OfferTemplate kOffers[] = {
    {"ESO", 1, "1º de Educación Secundaria Obligatoria", 3, Stage::Eso},
    {"ESO", 1, "1º de Educación Secundaria Obligatoria (Sección Bilingüe de Inglés)", 1,
     Stage::Eso},
    {"ESO", 2, "2º de Educación Secundaria Obligatoria", 3, Stage::Eso},
    {"ESO", 2, "2º de Educación Secundaria Obligatoria (Sección Bilingüe de Inglés)", 1,
     Stage::Eso},
    {"PMAR", 2, "Programa de Mejora del Aprendizaje y del Rendimiento (2º ESO)", 0, Stage::Eso},
    {"ESO", 3, "3º de Educación Secundaria Obligatoria", 3, Stage::Eso},
    {"ESO", 3, "3º de Educación Secundaria Obligatoria (Sección Bilingüe de Inglés)", 1,
     Stage::Eso},
    {"PDC", 3, "Programa de Diversificación Curricular (3º ESO)", 1, Stage::Eso},
    {"ESO", 4, "4º de Educación Secundaria Obligatoria", 2, Stage::Eso},
    {"ESO", 4, "4º de Educación Secundaria Obligatoria (Sección Bilingüe de Inglés)", 1,
     Stage::Eso},
    {"PDC", 4, "Programa de Diversificación Curricular (4º ESO)", 1, Stage::Eso},
    {"BCT", 1, "1º de Bachillerato de Ciencias y Tecnología", 2, Stage::Bach},
    {"BCT", 2, "2º de Bachillerato de Ciencias y Tecnología", 2, Stage::Bach},
    {"BHC", 1, "1º de Bachillerato de Humanidades y Ciencias Sociales", 2, Stage::Bach},
    {"BHC", 2, "2º de Bachillerato de Humanidades y Ciencias Sociales", 1, Stage::Bach},
    {"BGE", 1, "1º de Bachillerato General", 1, Stage::Bach},
    {"BGE", 2, "2º de Bachillerato General", 0, Stage::Bach},
    {"BAR", 1, "1º de Bachillerato de Artes", 0, Stage::Bach},
    {"BAR", 2, "2º de Bachillerato de Artes", 0, Stage::Bach},
    {"BNOC", 2, "2º de Bachillerato de Ciencias y Tecnología (Nocturno)", 0, Stage::Bach},
    {"FPB", 1, "1º de Ciclo Formativo de Grado Básico en Informática y Comunicaciones", 1,
     Stage::Fp},
    {"FPB", 2, "2º de Ciclo Formativo de Grado Básico en Informática y Comunicaciones", 1,
     Stage::Fp},
    {"GBA", 1, "1º de Ciclo Formativo de Grado Básico en Servicios Administrativos", 0, Stage::Fp},
    {"SMR", 1, "1º de Técnico en Sistemas Microinformáticos y Redes", 1, Stage::Fp},
    {"SMR", 2, "2º de Técnico en Sistemas Microinformáticos y Redes", 1, Stage::Fp},
    {"GAD", 1, "1º de Técnico en Gestión Administrativa", 0, Stage::Fp},
    {"GAD", 2, "2º de Técnico en Gestión Administrativa", 0, Stage::Fp},
    {"DAW", 1, "1º de Técnico Superior en Desarrollo de Aplicaciones Web", 1, Stage::Fp},
    {"DAW", 2, "2º de Técnico Superior en Desarrollo de Aplicaciones Web", 0, Stage::Fp},
    {"AFI", 1, "1º de Técnico Superior en Administración y Finanzas", 0, Stage::Fp},
    {"AFI", 2, "2º de Técnico Superior en Administración y Finanzas", 0, Stage::Fp},
    {"ESPA", 1, "Educación Secundaria para Personas Adultas, Nivel I", 0, Stage::Adult},
    {"ESPA", 2, "Educación Secundaria para Personas Adultas, Nivel II", 0, Stage::Adult},
    {"PEN", 1, "Materias pendientes de 1º ESO", 0, Stage::Eso},
    {"PEN", 2, "Materias pendientes de 2º ESO", 0, Stage::Eso},
    {"PEN", 3, "Materias pendientes de 3º ESO", 0, Stage::Eso},
    {"PBA", 1, "Materias pendientes de 1º de Bachillerato", 0, Stage::Bach},
    {"PACF", 1, "Preparación de la prueba de acceso a ciclos de grado medio", 0, Stage::Adult},
    {"PAGS", 1, "Preparación de la prueba de acceso a ciclos de grado superior", 0, Stage::Adult},
    {"AEN", 1, "Aula de enlace para alumnado de incorporación tardía", 0, Stage::Eso},
};
constexpr int kOffersPerCampus = int(std::size(kOffers));

// The first entries of each list are the core subjects every offering has; the rest are
// drawn in a random order. "{R}" stands for the course in Roman numerals.
const char* const kEsoSubjects[] = {
    "Lengua Castellana y Literatura",
    "Matemáticas",
    "Inglés",
    "Geografía e Historia",
    "Educación Física",
    "Biología y Geología",
    "Física y Química",
    "Tutoría",
    "Religión Católica",
    "Atención Educativa",
    "Tecnología y Digitalización",
    "Música",
    "Educación Plástica, Visual y Audiovisual",
    "Segunda Lengua Extranjera: Francés",
    "Valores Cívicos y Éticos",
    "Latín",
    "Cultura Clásica",
    "Economía y Emprendimiento",
    "Expresión Artística",
    "Digitalización",
    "Formación y Orientación Personal y Profesional",
    "Oratoria y Debate",
    "Taller de Teatro",
    "Computación y Robótica",
    "Refuerzo de Matemáticas",
    "Refuerzo de Lengua",
    "Ampliación de Inglés",
    "Proyectos de Investigación",
    "Cultura Científica",
    "Hábitos de Vida Saludable",
    "Filosofía",
    "Artes Escénicas y Danza",
    "Lengua Extranjera: Alemán",
    "Ajedrez Educativo",
    "Educación para la Igualdad",
    "Ámbito Científico y Matemático",
    "Ámbito Lingüístico y Social",
    "Taller de Lectura y Escritura",
};
const char* const kBachSubjects[] = {
    "Lengua Castellana y Literatura {R}",
    "Primera Lengua Extranjera: Inglés {R}",
    "Educación Física",
    "Filosofía",
    "Historia de España",
    "Tutoría",
    "Matemáticas {R}",
    "Matemáticas Aplicadas a las Ciencias Sociales {R}",
    "Historia de la Filosofía",
    "Historia del Mundo Contemporáneo",
    "Física",
    "Química",
    "Física y Química",
    "Biología",
    "Biología, Geología y Ciencias Ambientales",
    "Geología y Ciencias Ambientales",
    "Dibujo Técnico {R}",
    "Tecnología e Ingeniería {R}",
    "Latín {R}",
    "Griego {R}",
    "Economía",
    "Empresa y Diseño de Modelos de Negocio",
    "Geografía",
    "Historia del Arte",
    "Literatura Universal",
    "Anatomía Aplicada",
    "Psicología",
    "Segunda Lengua Extranjera: Francés {R}",
    "Tecnologías de la Información y la Comunicación {R}",
    "Religión Católica",
    "Dibujo Artístico {R}",
    "Cultura Audiovisual",
    "Análisis Musical {R}",
    "Proyecto de Investigación",
    "Ciencias Generales",
    "Movimientos Culturales y Artísticos",
    "Fundamentos Artísticos",
    "Volumen",
    "Artes Escénicas {R}",
    "Métodos Estadísticos y Numéricos",
};
const char* const kFpSubjects[] = {
    "Formación y Orientación Laboral",
    "Empresa e Iniciativa Emprendedora",
    "Inglés Técnico",
    "Tutoría",
    "Montaje y Mantenimiento de Equipos",
    "Sistemas Operativos Monopuesto",
    "Aplicaciones Ofimáticas",
    "Sistemas Operativos en Red",
    "Redes Locales",
    "Seguridad Informática",
    "Servicios en Red",
    "Aplicaciones Web",
    "Programación",
    "Bases de Datos",
    "Lenguajes de Marcas y Sistemas de Gestión de Información",
    "Sistemas Informáticos",
    "Entornos de Desarrollo",
    "Desarrollo Web en Entorno Cliente",
    "Desarrollo Web en Entorno Servidor",
    "Despliegue de Aplicaciones Web",
    "Diseño de Interfaces Web",
    "Formación en Centros de Trabajo",
    "Proyecto Intermodular",
    "Comunicación Empresarial y Atención al Cliente",
    "Operaciones Administrativas de Compraventa",
    "Empresa y Administración",
    "Tratamiento Informático de la Información",
    "Técnica Contable",
    "Operaciones Auxiliares de Gestión de Tesorería",
    "Ciencias Aplicadas {R}",
    "Comunicación y Sociedad {R}",
    "Itinerario Personal para la Empleabilidad {R}",
    "Digitalización Aplicada a los Sectores Productivos",
    "Sostenibilidad Aplicada al Sistema Productivo",
};
const char* const kAdultSubjects[] = {
    "Ámbito de Comunicación",
    "Ámbito Social",
    "Ámbito Científico-Tecnológico",
    "Tutoría",
    "Lengua Castellana y Literatura",
    "Matemáticas",
    "Inglés",
    "Geografía e Historia",
    "Orientación Académica y Profesional",
    "Preparación de la Prueba: Matemáticas",
    "Preparación de la Prueba: Lengua Castellana",
    "Preparación de la Prueba: Ciencias",
    "Competencia Digital",
    "Economía de la Empresa",
};
constexpr int kCoreSubjects = 4;

const char* const kMaleNames[] = {
    "Antonio",   "José",      "Manuel",      "Francisco",   "David",
    "Juan",      "Javier",    "Daniel",      "Carlos",      "Jesús",
    "Alejandro", "Miguel",    "Rafael",      "Pablo",       "Sergio",
    "Fernando",  "Jorge",     "Luis",        "Alberto",     "Álvaro",
    "Adrián",    "Diego",     "Raúl",        "Iván",        "Rubén",
    "Óscar",     "Andrés",    "Joaquín",     "Santiago",    "Ignacio",
    "Víctor",    "Ramón",     "Enrique",     "Vicente",     "Emilio",
    "Gonzalo",   "José Luis", "Juan Carlos", "José Manuel", "Francisco Javier",
    "Ángel",     "Íñigo",
};
const char* const kFemaleNames[] = {
    "María",     "Carmen",        "Ana",      "Laura",      "Isabel",     "Lucía",
    "Cristina",  "Marta",         "Elena",    "Pilar",      "Raquel",     "Rosa",
    "Beatriz",   "Patricia",      "Silvia",   "Nuria",      "Sonia",      "Inés",
    "Mercedes",  "Rocío",         "Alicia",   "Irene",      "Natalia",    "Eva",
    "Begoña",    "Ángela",        "Susana",   "Montserrat", "Teresa",     "Concepción",
    "Yolanda",   "Noelia",        "Sofía",    "Inmaculada", "María José", "María del Carmen",
    "Ana Belén", "María Ángeles", "Aránzazu", "Lourdes",
};
const char* const kSurnames[] = {
    "García",       "Fernández", "González",    "Rodríguez", "López",      "Martínez",  "Sánchez",
    "Pérez",        "Gómez",     "Martín",      "Jiménez",   "Ruiz",       "Hernández", "Díaz",
    "Moreno",       "Muñoz",     "Álvarez",     "Romero",    "Alonso",     "Gutiérrez", "Navarro",
    "Torres",       "Domínguez", "Vázquez",     "Ramos",     "Gil",        "Ramírez",   "Serrano",
    "Blanco",       "Molina",    "Morales",     "Suárez",    "Ortega",     "Delgado",   "Castro",
    "Ortiz",        "Rubio",     "Marín",       "Sanz",      "Núñez",      "Iglesias",  "Medina",
    "Garrido",      "Cortés",    "Castillo",    "Santos",    "Lozano",     "Guerrero",  "Cano",
    "Prieto",       "Méndez",    "Cruz",        "Calvo",     "Gallego",    "Vidal",     "León",
    "Márquez",      "Herrera",   "Peña",        "Flores",    "Cabrera",    "Campos",    "Vega",
    "Fuentes",      "Carrasco",  "Díez",        "Caballero", "Reyes",      "Nieto",     "Aguilar",
    "Pascual",      "Santana",   "Herrero",     "Lorenzo",   "Montero",    "Hidalgo",   "Giménez",
    "Ibáñez",       "Ferrer",    "Durán",       "Benítez",   "Mora",       "Arias",     "Vargas",
    "Carmona",      "Crespo",    "Román",       "Pastor",    "Soto",       "Sáez",      "Velasco",
    "Moya",         "Soler",     "Parra",       "Esteban",   "Bravo",      "Gallardo",  "Rojas",
    "de la Fuente", "del Río",   "de la Torre", "Úbeda",     "Echeverría", "Zubiaurre",
};
const char* const kDepartments[] = {
    "Matemáticas",
    "Lengua Castellana y Literatura",
    "Inglés",
    "Francés",
    "Geografía e Historia",
    "Biología y Geología",
    "Física y Química",
    "Educación Física",
    "Música",
    "Dibujo",
    "Tecnología",
    "Filosofía",
    "Latín y Griego",
    "Economía",
    "Orientación",
    "Informática",
    "Administración de Empresas",
    "Religión",
    "Formación y Orientación Laboral",
};
struct Body {
    const char* code;
    const char* name;
};
const Body kBodies[] = {
    {"0590", "Profesores de Enseñanza Secundaria"},
    {"0591", "Profesores Técnicos de Formación Profesional"},
    {"0597", "Maestros"},
    {"0511", "Catedráticos de Enseñanza Secundaria"},
};
struct Special {
    const char* name;
    const char* kind;
    int capacity;
};
const Special kSpecialRooms[] = {
    {"Laboratorio de Física y Química", "LAB", 24},
    {"Laboratorio de Biología y Geología", "LAB", 24},
    {"Aula de Informática 1", "INF", 30},
    {"Aula de Informática 2", "INF", 30},
    {"Aula de Música", "MUS", 30},
    {"Aula de Plástica y Dibujo", "PLA", 30},
    {"Taller de Tecnología", "TAL", 24},
    {"Gimnasio", "GIM", 60},
    {"Pista polideportiva", "GIM", 60},
    {"Biblioteca", "BIB", 40},
};

struct Activity {
    const char* flag; // "N": outside the regular timetable
    const char* name;
    const char* needsUnit;
    const char* needsSubject;
};
const Activity kActivities[] = {
    {"S", "Docencia directa con alumnos", "S", "S"},
    {"S", "Tutoría lectiva con el grupo", "S", "N"},
    {"N", "Guardia", "N", "N"},
    {"N", "Guardia de recreo", "N", "N"},
    {"N", "Reunión de departamento", "N", "N"},
    {"N", "Atención a familias", "N", "N"},
    {"S", "Apoyo y refuerzo educativo", "S", "S"},
    {"N", "Jefatura de departamento", "N", "N"},
    {"N", "Coordinación de proyectos", "N", "N"},
    {"S", "Desdoble de laboratorio", "S", "S"},
    {"N", "Biblioteca escolar", "N", "N"},
    {"N", "Reunión de equipo educativo", "N", "N"},
    {"S", "Atención al alumnado con necesidades educativas especiales", "S", "N"},
    {"N", "Coordinación de las tecnologías de la información", "N", "N"},
    {"N", "Plan de lectura", "N", "N"},
    {"S", "Programa de refuerzo de la competencia lectora", "S", "N"},
    {"N", "Mantenimiento de laboratorio", "N", "N"},
    {"N", "Formación del profesorado en el centro", "N", "N"},
};

const Body kOrigins[] = {
    {"ORDINARIO", "Horas ordinarias de plantilla"},
    {"BILINGUE", "Programa bilingüe"},
    {"PROA", "Programa de refuerzo y orientación para el avance"},
    {"DESDOBLE", "Desdobles de prácticas de laboratorio"},
    {"APOYO_NEE", "Apoyo al alumnado con necesidades educativas especiales"},
    {"COMPENSATORIA", "Educación compensatoria"},
    {"FSE", "Cofinanciado por el Fondo Social Europeo"},
    {"PLAN_LECTURA", "Plan de lectura y bibliotecas escolares"},
    {"TIC", "Coordinación de tecnologías de la información"},
    {"REDUCCION_EDAD", "Reducción de jornada lectiva por edad"},
    {"CARGO_DIRECTIVO", "Horas de cargo directivo"},
    {"SINDICAL", "Crédito horario sindical"},
};

struct LevelName {
    const char* code;
    const char* name;
};
const LevelName kLevels[] = {
    {"ESO1", "Primer curso de Educación Secundaria Obligatoria"},
    {"ESO2", "Segundo curso de Educación Secundaria Obligatoria"},
    {"ESO3", "Tercer curso de Educación Secundaria Obligatoria"},
    {"ESO4", "Cuarto curso de Educación Secundaria Obligatoria"},
    {"BACH1", "Primer curso de Bachillerato"},
    {"BACH2", "Segundo curso de Bachillerato"},
    {"FP1", "Primer curso de Formación Profesional"},
    {"FP2", "Segundo curso de Formación Profesional"},
    {"EPA1", "Educación de personas adultas, primer nivel"},
    {"EPA2", "Educación de personas adultas, segundo nivel"},
};

QString roman(int course) {
    static const char* const r[] = {"I", "II", "III", "IV"};
    return QString::fromLatin1(r[std::clamp(course, 1, 4) - 1]);
}

QStringList subjectPool(Stage stage, int course) {
    QStringList pool;
    auto add = [&](const auto& list) {
        for (const char* s : list)
            pool << QString::fromUtf8(s).replace(QStringLiteral("{R}"), roman(course));
    };
    switch (stage) {
    case Stage::Eso:
        add(kEsoSubjects);
        break;
    case Stage::Bach:
        add(kBachSubjects);
        break;
    case Stage::Fp:
        add(kFpSubjects);
        break;
    case Stage::Adult:
        add(kAdultSubjects);
        break;
    }
    return pool;
}

int levelIndexOf(Stage stage, int course) {
    switch (stage) {
    case Stage::Eso:
        return std::clamp(course, 1, 4) - 1;
    case Stage::Bach:
        return 4 + std::clamp(course, 1, 2) - 1;
    case Stage::Fp:
        return 6 + std::clamp(course, 1, 2) - 1;
    case Stage::Adult:
        return 8 + std::clamp(course, 1, 2) - 1;
    }
    return 0;
}

// One course offering of the generated school.
struct Offer {
    qint64 key = 0;
    QString level; // as typed in the level and course dialog
    int course = 1;
    QString name;
    Stage stage = Stage::Eso;
    int units = 0;
    int levelIndex = 0; // row of NIVELES it belongs to
};

// Writes groups, records and items in the exchange envelope.
class Writer {
public:
    explicit Writer(const QString& stamp)
        : doc_(Document::treeFromBytes(
              QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                "<SERVICIO/>"),
              QStringLiteral("veltra.xml"))) {
        Node root = doc_.root();
        root.setAttribute(QStringLiteral("modulo"), QStringLiteral("EXPORTACION"));
        root.setAttribute(QStringLiteral("tipo"), QStringLiteral("E"));
        root.setAttribute(QStringLiteral("autor"), QStringLiteral("VELTRA"));
        root.setAttribute(QStringLiteral("fecha"), stamp);
        bloque_ = doc_.createElement(QStringLiteral("BLOQUE_DATOS"));
        root.appendChild(bloque_);
    }

    Node group(const QString& seq, int records = -1) {
        Node g = doc_.createElement(QStringLiteral("grupo_datos"));
        g.setAttribute(QStringLiteral("seq"), seq);
        if (records >= 0)
            g.setAttribute(QStringLiteral("registros"), qint64(records));
        bloque_.appendChild(g);
        return g;
    }
    Node record(Node& group) {
        Node r = doc_.createElement(QStringLiteral("grupo_datos"));
        group.appendChild(r);
        return r;
    }
    void item(Node& parent, const QString& name, const QString& value) {
        Node d = doc_.createElement(QStringLiteral("dato"));
        d.setAttribute(QStringLiteral("nombre_dato"), name);
        d.setText(value);
        parent.appendChild(d);
    }
    void save(const QString& path) const { doc_.save(path); }

private:
    Document doc_;
    Node bloque_;
};

// Spreads total over the weights, whole numbers that add up to total (largest
// remainders first, earlier entries on ties).
QList<int> spread(int total, const QList<int>& weights) {
    QList<int> out(weights.size(), 0);
    const qint64 sum = std::accumulate(weights.begin(), weights.end(), qint64(0));
    if (sum <= 0 || total <= 0)
        return out;
    QList<QPair<qint64, int>> rest;
    int given = 0;
    for (int i = 0; i < weights.size(); ++i) {
        const qint64 exact = qint64(total) * weights[i];
        out[i] = int(exact / sum);
        given += out[i];
        rest << qMakePair(-(exact % sum), i);
    }
    std::stable_sort(rest.begin(), rest.end());
    for (int i = 0; given < total; i = (i + 1) % int(rest.size()), ++given)
        ++out[rest[i].second];
    return out;
}

} // namespace

Counts countsFor(double scale) {
    Counts c;
    c.offers = std::max(2, scaled(40, 400, scale));
    c.materias = std::max(c.offers, scaled(600, 15000, scale));
    c.activities = std::max(4, scaled(12, 18, scale));
    c.teachers = std::max(3, scaled(80, 1500, scale));
    c.rooms = std::max(2, scaled(30, 600, scale));
    c.units = std::max(1, scaled(30, 600, scale));
    c.frames = std::max(1, scaled(2, 30, scale));
    c.slotsPerFrame = std::max(3, scaled(7, 13, scale));
    c.origenes = std::max(3, scaled(12, 2000, scale));
    c.niveles = std::max(3, scaled(40, 2000, scale));
    c.cursosNiveles = std::max(c.offers, scaled(300, 4000, scale));
    c.autorizaciones = std::max(4, scaled(500, 5000, scale));
    return c;
}

SchoolSummary writeSchool(const QString& outDir, double scale, quint64 seed) {
    // Beyond 20 the campuses would run out of letters to tell their levels apart.
    if (!(scale > 0) || scale > 20)
        throw RunError(
            QStringLiteral("Escala no válida: %1 (debe ser mayor que 0 y no mayor que 20)")
                .arg(scale));
    if (!QDir().mkpath(outDir))
        throw RunError(QStringLiteral("No se puede crear la carpeta %1").arg(outDir));

    Rng rng(seed);
    SchoolSummary sum;
    const Counts c = countsFor(scale);
    sum.counts = c;
    const int year = 2025;

    // Course offerings: forty per campus, their keys a subset of the region's offerings
    // listed in CURSOS_NIVELES.
    const QList<qint64> regionOffers = keys(rng, 120000, c.cursosNiveles);
    QList<int> schoolPositions;
    {
        QList<int> all(regionOffers.size());
        std::iota(all.begin(), all.end(), 0);
        rng.shuffle(all);
        schoolPositions = all.mid(0, c.offers);
        std::sort(schoolPositions.begin(), schoolPositions.end());
    }
    const int campuses = (c.offers + kOffersPerCampus - 1) / kOffersPerCampus;
    QList<Offer> offers;
    QList<int> unitWeights;
    for (int i = 0; i < c.offers; ++i) {
        const OfferTemplate& t = kOffers[i % kOffersPerCampus];
        const int campus = i / kOffersPerCampus;
        Offer o;
        o.key = regionOffers[schoolPositions[i]];
        o.level = QString::fromLatin1(t.level);
        if (campus > 0) // each campus names its groups apart: ESOB1A, BCTC2A ...
            o.level += QChar(u'A' + campus);
        o.course = t.course;
        o.name = QString::fromUtf8(t.name);
        if (campuses > 1)
            o.name += QStringLiteral(" - Sede %1").arg(campus + 1);
        o.stage = t.stage;
        o.levelIndex = levelIndexOf(t.stage, t.course) % c.niveles;
        offers << o;
        unitWeights << t.units;
        sum.offerKeys << num(o.key);
    }
    {
        const QList<int> units = spread(c.units, unitWeights);
        for (int i = 0; i < offers.size(); ++i)
            offers[i].units = units[i];
    }

    const QString stamp = QStringLiteral("%1 %2:%3:%4")
                              .arg(date(rng.between(1, 28), 9, year))
                              .arg(rng.between(8, 19), 2, 10, QLatin1Char('0'))
                              .arg(rng.below(60), 2, 10, QLatin1Char('0'))
                              .arg(rng.below(60), 2, 10, QLatin1Char('0'));
    Writer w(stamp);

    // The school year, carrying its items directly.
    {
        Node g = w.group(QStringLiteral("ANNO_ACADEMICO"));
        w.item(g, QStringLiteral("C_ANNO"), num(year));
        w.item(g, QStringLiteral("F_INIANNO"), date(1, 9, year));
        w.item(g, QStringLiteral("F_FINANNO"), date(30, 6, year + 1));
    }
    {
        Node g = w.group(QStringLiteral("DATOS_CENTRO"), 1);
        Node r = w.record(g);
        w.item(r, QStringLiteral("X_CENTRO"), num(10000000 + rng.below(90000000)));
        w.item(r, QStringLiteral("C_CODIGO"), num(6000000 + rng.below(99999)));
        w.item(r, QStringLiteral("D_DENOMINACION"), QStringLiteral("IES Valdelacosta"));
        w.item(r, QStringLiteral("D_LOCALIDAD"), QStringLiteral("Villanueva del Almenar"));
        w.item(r, QStringLiteral("N_SEDES"), num(campuses));
    }
    {
        Node g = w.group(QStringLiteral("CURSOS_DEL_CENTRO"), offers.size());
        for (const Offer& o : offers) {
            Node r = w.record(g);
            w.item(r, QStringLiteral("X_OFERTAMATRIG"), num(o.key));
            w.item(r, QStringLiteral("D_OFERTAMATRIG"), o.name);
            w.item(r, QStringLiteral("N_CURSO"), num(o.course));
        }
    }

    // Subjects: the core subjects of the offering's stage first, then optional ones in a
    // random order; more than the stage lists gives numbered free-choice subjects.
    {
        const QList<int> perOffer = spread(c.materias, QList<int>(offers.size(), 1));
        const QList<qint64> ids = keys(rng, 1000000, c.materias);
        Node g = w.group(QStringLiteral("MATERIAS"), c.materias);
        int id = 0;
        for (int i = 0; i < offers.size(); ++i) {
            const Offer& o = offers[i];
            QStringList pool = subjectPool(o.stage, o.course);
            QStringList optional = pool.mid(kCoreSubjects);
            rng.shuffle(optional);
            pool = pool.mid(0, kCoreSubjects) + optional;
            for (int k = 0; k < perOffer[i]; ++k) {
                const QString name = k < pool.size()
                                         ? pool[k]
                                         : QStringLiteral("Taller de libre configuración %1")
                                               .arg(k - pool.size() + 1);
                const int hours = k < kCoreSubjects ? rng.between(3, 5) : rng.between(1, 3);
                Node r = w.record(g);
                w.item(r, QStringLiteral("X_OFERTAMATRIG"), num(o.key));
                w.item(r, QStringLiteral("X_MATERIAOMG"), num(ids[id++]));
                w.item(r, QStringLiteral("D_MATERIAC"), name);
                w.item(r, QStringLiteral("D_MATERIAL"),
                       QStringLiteral("%1 (%2º %3)").arg(name).arg(o.course).arg(o.level));
                w.item(r, QStringLiteral("N_HORAS"), num(hours));
            }
        }
    }

    // Activities: codes 1, 2, 3 ...; "N" marks those outside the regular timetable.
    QList<int> regularActivities;
    {
        Node g = w.group(QStringLiteral("ACTIVIDADES"), c.activities);
        const int known = int(std::size(kActivities));
        for (int i = 0; i < c.activities; ++i) {
            const Activity& a = kActivities[i % known];
            QString name = QString::fromUtf8(a.name);
            if (i >= known)
                name += QStringLiteral(" (%1)").arg(i / known + 1);
            Node r = w.record(g);
            w.item(r, QStringLiteral("C_TIPOACT"), QString::fromLatin1(a.flag));
            w.item(r, QStringLiteral("X_ACTIVIDAD"), num(i + 1));
            w.item(r, QStringLiteral("D_ACTIVIDAD"), name);
            w.item(r, QStringLiteral("C_REQUNIDAD"), QString::fromLatin1(a.needsUnit));
            w.item(r, QStringLiteral("C_REQMATERIA"), QString::fromLatin1(a.needsSubject));
            if (QLatin1String(a.flag) != QLatin1String("N"))
                regularActivities << i + 1;
        }
    }

    // Teachers: every fortieth has no employee key yet (an interim not yet registered).
    {
        const QList<qint64> ids = keys(rng, 300000, c.teachers);
        Node g = w.group(QStringLiteral("EMPLEADOS"), c.teachers);
        for (int i = 0; i < c.teachers; ++i) {
            const bool female = rng.chance(0.55);
            const QString first =
                QString::fromUtf8(female ? kFemaleNames[rng.below(int(std::size(kFemaleNames)))]
                                         : kMaleNames[rng.below(int(std::size(kMaleNames)))]);
            const QString surname1 =
                QString::fromUtf8(kSurnames[rng.below(int(std::size(kSurnames)))]);
            const QString surname2 =
                QString::fromUtf8(kSurnames[rng.below(int(std::size(kSurnames)))]);
            const Body& body = kBodies[rng.below(int(std::size(kBodies)))];
            const bool noKey = i % 40 == 17;
            sum.teachersWithoutKey += noKey;
            Node r = w.record(g);
            w.item(r, QStringLiteral("X_EMPLEADO"), noKey ? QString() : num(ids[i]));
            w.item(r, QStringLiteral("F_TOMAPOS"), date(1, 9, year - rng.below(30)));
            w.item(r, QStringLiteral("D_DEPARTAMENTO"),
                   QString::fromUtf8(kDepartments[rng.below(int(std::size(kDepartments)))]));
            w.item(r, QStringLiteral("D_NOMBRE"), first);
            w.item(r, QStringLiteral("D_APELLIDO1"), surname1);
            w.item(r, QStringLiteral("D_APELLIDO2"), surname2);
            w.item(r, QStringLiteral("C_CUERPO"), QString::fromLatin1(body.code));
            w.item(r, QStringLiteral("D_CUERPO"), QString::fromUtf8(body.name));
            w.item(r, QStringLiteral("N_HORLECTIVAS"), num(rng.between(15, 21)));
        }
    }

    // Rooms: the special rooms of each campus, then ordinary classrooms by floor.
    QList<qint64> roomKeys;
    {
        roomKeys = keys(rng, 50000, c.rooms);
        Node g = w.group(QStringLiteral("DEPENDENCIAS"), c.rooms);
        const int specials = int(std::size(kSpecialRooms));
        const int perCampus = std::max(1, (c.rooms + campuses - 1) / campuses);
        for (int i = 0; i < c.rooms; ++i) {
            const int campus = i / perCampus;
            const int k = i % perCampus;
            QString name;
            QString kind;
            int capacity;
            if (k < specials && k < perCampus / 3) {
                name = QString::fromUtf8(kSpecialRooms[k].name);
                kind = QString::fromLatin1(kSpecialRooms[k].kind);
                capacity = kSpecialRooms[k].capacity;
            } else {
                const int n = k - std::min(specials, perCampus / 3);
                name = QStringLiteral("Aula %1.%2")
                           .arg(n / 12)
                           .arg(n % 12 + 1, 2, 10, QLatin1Char('0'));
                kind = QStringLiteral("AULA");
                capacity = 25 + 5 * rng.below(3);
            }
            if (campuses > 1)
                name += QStringLiteral(" (Sede %1)").arg(campus + 1);
            Node r = w.record(g);
            w.item(r, QStringLiteral("X_DEPENDENCIA"), num(roomKeys[i]));
            w.item(r, QStringLiteral("D_DEPENDENCIA"), name);
            w.item(r, QStringLiteral("C_TIPODEP"), kind);
            w.item(r, QStringLiteral("N_CAPACIDAD"), num(capacity));
        }
    }

    // Teaching units: lettered within their level and course as the import will letter
    // them, each with a home classroom.
    {
        const QList<qint64> ids = keys(rng, 700000, c.units);
        Node g = w.group(QStringLiteral("UNIDADES"), c.units);
        QHash<QString, int> letters;
        int u = 0;
        for (const Offer& o : offers) {
            for (int k = 0; k < o.units; ++k, ++u) {
                const QString seqKey = o.level.left(5) + QString::number(o.course).left(1);
                const int letter = letters[seqKey]++;
                const QString name = QStringLiteral("%1º %2 %3")
                                         .arg(o.course)
                                         .arg(o.level)
                                         .arg(QChar(u'A' + letter));
                Node r = w.record(g);
                w.item(r, QStringLiteral("X_UNIDAD"), num(ids[u]));
                w.item(r, QStringLiteral("D_UNIDAD"), name);
                w.item(r, QStringLiteral("X_OFERTAMATRIG"), num(o.key));
                w.item(r, QStringLiteral("X_DEPENDENCIA"), num(roomKeys[u % roomKeys.size()]));
                w.item(r, QStringLiteral("N_ALUMNOS"), num(rng.between(14, 30)));
            }
        }
    }

    // School-day frames, alternately morning and afternoon, and their slots.
    {
        // Fixed codes whatever the seed, so scripts can name the first two: 1101,1102.
        for (int f = 0; f < c.frames; ++f)
            sum.frameCodes << num(1101 + f);
        Node g = w.group(QStringLiteral("JORNADAS_ESCOLARES"), c.frames);
        for (int f = 0; f < c.frames; ++f) {
            const bool morning = f % 2 == 0;
            QString name =
                morning ? QStringLiteral("Jornada de mañana") : QStringLiteral("Jornada de tarde");
            if (c.frames > 2)
                name += QStringLiteral(" (modelo %1)").arg(f / 2 + 1);
            Node r = w.record(g);
            w.item(r, QStringLiteral("X_JORNADA"), sum.frameCodes[f]);
            w.item(r, QStringLiteral("D_JORNADA"), name);
            w.item(r, QStringLiteral("F_INICIO"), date(15, 9, year));
            w.item(r, QStringLiteral("F_FIN"), date(19, 6, year + 1));
        }
    }
    {
        QList<int> slotsOfFrame;
        for (int f = 0; f < c.frames; ++f)
            slotsOfFrame << c.slotsPerFrame - f % 2;
        sum.slots = std::accumulate(slotsOfFrame.begin(), slotsOfFrame.end(), 0);
        const QList<qint64> ids = keys(rng, 20000, sum.slots);
        Node g = w.group(QStringLiteral("TRAMOS_HORARIOS"), sum.slots);
        int id = 0;
        for (int f = 0; f < c.frames; ++f) {
            const int n = slotsOfFrame[f];
            const int length = n <= 7 ? 55 : 45;
            const int breakAt = n >= 6 ? n / 2 : -1; // the break, a short slot mid-frame
            const int total = n * length - (breakAt >= 0 ? length - 30 : 0);
            int begin = f % 2 == 0 ? 8 * 60 : std::min(15 * 60 + 30, 23 * 60 - total);
            int lesson = 1;
            for (int k = 0; k < n; ++k) {
                const bool isBreak = k == breakAt;
                const int end = begin + (isBreak ? 30 : length);
                Node r = w.record(g);
                w.item(r, QStringLiteral("X_TRAMO"), num(ids[id++]));
                w.item(r, QStringLiteral("D_TRAMO"),
                       isBreak ? QStringLiteral("Recreo")
                               : QStringLiteral("%1ª hora").arg(lesson++));
                w.item(r, QStringLiteral("N_INICIO"), num(begin));
                w.item(r, QStringLiteral("N_FIN"), num(end));
                w.item(r, QStringLiteral("X_JORNADA"), sum.frameCodes[f]);
                begin = end;
            }
        }
    }

    // Catalogues.
    const QList<qint64> originIds = keys(rng, 10, c.origenes);
    const QList<qint64> levelIds = keys(rng, 200, c.niveles);
    {
        Node g = w.group(QStringLiteral("ORIGENES"), c.origenes);
        const int known = int(std::size(kOrigins));
        for (int i = 0; i < c.origenes; ++i) {
            Node r = w.record(g);
            w.item(r, QStringLiteral("X_CATORIHOR"), num(originIds[i]));
            if (i < known) {
                w.item(r, QStringLiteral("C_ORIHOR"), QString::fromLatin1(kOrigins[i].code));
                w.item(r, QStringLiteral("D_ORIHOR"), QString::fromUtf8(kOrigins[i].name));
            } else {
                w.item(r, QStringLiteral("C_ORIHOR"),
                       QStringLiteral("ORIGEN_%1").arg(i + 1, 4, 10, QLatin1Char('0')));
                w.item(r, QStringLiteral("D_ORIHOR"),
                       QStringLiteral("Origen de horas autorizado número %1").arg(i + 1));
            }
        }
    }
    {
        Node g = w.group(QStringLiteral("NIVELES"), c.niveles);
        const int known = int(std::size(kLevels));
        for (int i = 0; i < c.niveles; ++i) {
            Node r = w.record(g);
            w.item(r, QStringLiteral("X_NIVCONPAGLEG"), num(levelIds[i]));
            if (i < known) {
                w.item(r, QStringLiteral("C_NIVCON"), QString::fromLatin1(kLevels[i].code));
                w.item(r, QStringLiteral("D_NIVCON"), QString::fromUtf8(kLevels[i].name));
            } else {
                w.item(r, QStringLiteral("C_NIVCON"),
                       QStringLiteral("NIVEL_%1").arg(i + 1, 4, 10, QLatin1Char('0')));
                w.item(r, QStringLiteral("D_NIVCON"),
                       QStringLiteral("Nivel de concierto y pago delegado %1").arg(i + 1));
            }
        }
    }
    QSet<int> schoolLevels;
    {
        QHash<int, int> levelOfPosition;
        for (int i = 0; i < offers.size(); ++i) {
            levelOfPosition.insert(schoolPositions[i], offers[i].levelIndex);
            schoolLevels.insert(offers[i].levelIndex);
        }
        Node g = w.group(QStringLiteral("CURSOS_NIVELES"), c.cursosNiveles);
        for (int i = 0; i < c.cursosNiveles; ++i) {
            const int level = levelOfPosition.value(i, rng.below(c.niveles));
            Node r = w.record(g);
            w.item(r, QStringLiteral("X_OFERTAMATRIG"), num(regionOffers[i]));
            w.item(r, QStringLiteral("X_NIVCONPAGLEG"), num(levelIds[level]));
        }
    }
    {
        // The school's own combinations first (regular activities, the common origins,
        // the school's levels), so that its timetable finds its authorisations; then
        // the rest of the region's, without repeating a combination.
        struct Combo {
            int activity, origin, level;
        };
        QList<Combo> combos;
        QSet<qint64> seen;
        auto add = [&](int a, int o, int l) {
            const qint64 key = (qint64(a) * 100000 + o) * 100000 + l;
            if (!seen.contains(key) && combos.size() < c.autorizaciones) {
                seen.insert(key);
                combos << Combo{a, o, l};
            }
        };
        QList<int> levels(schoolLevels.begin(), schoolLevels.end());
        std::sort(levels.begin(), levels.end());
        for (int a : regularActivities)
            for (int o = 0; o < std::min(4, c.origenes); ++o)
                for (int l : levels)
                    add(a, o, l);
        const qint64 possible = qint64(c.activities) * c.origenes * c.niveles;
        while (combos.size() < c.autorizaciones && seen.size() < possible)
            add(rng.between(1, c.activities), rng.below(c.origenes), rng.below(c.niveles));
        const QList<qint64> ids = keys(rng, 900000, int(combos.size()));
        Node g = w.group(QStringLiteral("AUTORIZACIONES"), int(combos.size()));
        for (int i = 0; i < combos.size(); ++i) {
            Node r = w.record(g);
            w.item(r, QStringLiteral("X_ORIHORACTETP"), num(ids[i]));
            w.item(r, QStringLiteral("X_ACTIVIDAD"), num(combos[i].activity));
            w.item(r, QStringLiteral("X_CATORIHOR"), num(originIds[combos[i].origin]));
            w.item(r, QStringLiteral("X_NIVCONPAGLEG"), num(levelIds[combos[i].level]));
        }
        sum.counts.autorizaciones = int(combos.size());
    }

    sum.documentPath = QDir(outDir).filePath(QStringLiteral("veltra.xml"));
    w.save(sum.documentPath);

    // The level and course of every course offering, as the user would type them.
    QByteArray csv = "CLAVE,NIVEL,CURSO\n";
    for (const Offer& o : offers)
        csv += num(o.key).toUtf8() + ',' + o.level.toUtf8() + ',' + QByteArray::number(o.course) +
               '\n';
    sum.codesPath = QDir(outDir).filePath(QStringLiteral("codes.csv"));
    QFile f(sum.codesPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(csv) != csv.size() ||
        !f.flush())
        throw RunError(QStringLiteral("No se puede escribir %1").arg(sum.codesPath));
    return sum;
}

// ---------------------------------------------------------------------------------
// Timetable

namespace {

struct Slot {
    int dia = 0;
    int hora = 0;
    QString marco;
    int minutes = 0;
};

struct Entry {
    int teacher = 0;
    int dia = 0; // 0: not placed
    int hora = 0;
    QString marco;
    QString asig, tarea, grupo, aula, concierto;
};

struct ActivityRow {
    QString cod, codTarea, requirement;
    bool inBreak = false; // a duty done during the break
};

QList<QStringList> readRows(const QString& workDir, const QString& table,
                            const QStringList& fields) {
    tables::Table t;
    t.open(workDir, table);
    QList<QStringList> rows;
    for (t.first(); !t.atEnd(); t.next()) {
        QStringList row;
        for (const QString& f : fields)
            row << t.text(f);
        rows << row;
    }
    t.close();
    return rows;
}

// Places lessons and activities, never two at once for one teacher; a group may have
// two lessons at once (its optional subjects are taught side by side).
class Planner {
public:
    Planner(QList<Slot> slots, Rng& rng) : slots_(std::move(slots)), rng_(rng) {}

    bool hasSlots() const { return !slots_.isEmpty(); }
    const Slot& slot(int i) const { return slots_[i]; }

    // A slot free for the teacher (and for the group when one is given), in the group's
    // frame first; breaks only when asked for. -1 when none.
    int find(int teacher, const QString& group, const QString& marco, bool breakSlot,
             bool groupMayClash) {
        const int n = int(slots_.size());
        if (n == 0)
            return -1;
        for (int pass = 0; pass < (groupMayClash ? 3 : 2); ++pass) {
            const int start = rng_.below(n);
            for (int j = 0; j < n; ++j) {
                const int s = (start + j) % n;
                const Slot& sl = slots_[s];
                if ((sl.minutes < 45) != breakSlot)
                    continue;
                if (pass == 0 && !marco.isEmpty() && sl.marco != marco)
                    continue;
                if (teacherBusy_.contains(key(teacher, s)))
                    continue;
                if (pass < 2 && !group.isEmpty() && groupBusy_[group].contains(s))
                    continue;
                return s;
            }
        }
        return -1;
    }
    // Any slot of the kind asked for, in the frame when it has one: for an entry placed
    // whatever it clashes with. -1 when there is none of that kind.
    int any(const QString& marco, bool breakSlot) {
        const int n = int(slots_.size());
        for (int pass = 0; pass < 2 && n > 0; ++pass) {
            const int start = rng_.below(n);
            for (int j = 0; j < n; ++j) {
                const Slot& sl = slots_[(start + j) % n];
                if ((sl.minutes < 45) == breakSlot &&
                    (pass == 1 || marco.isEmpty() || sl.marco == marco))
                    return (start + j) % n;
            }
        }
        return -1;
    }
    bool groupBusy(const QString& group, int s) const {
        return groupBusy_.value(group).contains(s);
    }
    void take(int teacher, const QString& group, int s) {
        teacherBusy_.insert(key(teacher, s));
        if (!group.isEmpty())
            groupBusy_[group].insert(s);
    }

private:
    static qint64 key(int teacher, int s) { return qint64(teacher) * 1000000 + s; }
    QList<Slot> slots_;
    Rng& rng_;
    QSet<qint64> teacherBusy_;
    QHash<QString, QSet<int>> groupBusy_;
};

} // namespace

int defaultEntries(int assignments, int teachers) {
    const int n = std::min(3 * assignments, 30 * teachers);
    return n > 0 ? n : 5 * teachers;
}

SolucSummary writeSoluc(const QString& workDir, quint64 seed, int entries, bool overbook) {
    Rng rng(seed);
    const QStringList teachers = [&] {
        QStringList out;
        for (const QStringList& r : readRows(workDir, tables::PROFT::kName, {tables::PROFT::ABREV}))
            if (!r[0].isEmpty())
                out << r[0];
        return out;
    }();
    const QList<QStringList> asig =
        readRows(workDir, tables::ASIGT::kName,
                 {tables::ASIGT::CASIG, tables::ASIGT::CGRUP, tables::ASIGT::CTAREA});
    QStringList groups;
    for (const QStringList& r : readRows(workDir, tables::GRUPOST::kName, {tables::GRUPOST::ABREV}))
        groups << r[0];
    QStringList rooms;
    for (const QStringList& r : readRows(workDir, tables::AULAT::kName, {tables::AULAT::ABREV}))
        rooms << r[0];
    QList<ActivityRow> nonRegular, regular;
    {
        tables::Table t;
        t.open(workDir, tables::ASIGNOMT::kName);
        for (t.first(); !t.atEnd(); t.next()) {
            if (!t.boolean(tables::ASIGNOMT::ESTAREA))
                continue;
            const ActivityRow a{t.text(tables::ASIGNOMT::COD), t.text(tables::ASIGNOMT::CODTAREA),
                                t.text(tables::ASIGNOMT::R_UNI_MAT),
                                t.text(tables::ASIGNOMT::NOMBRE)
                                    .contains(QLatin1String("recreo"), Qt::CaseInsensitive)};
            if (a.cod.startsWith(u'#'))
                nonRegular << a;
            else if (a.requirement.mid(1, 1) != QLatin1String("S")) // needs no subject
                regular << a;
        }
        t.close();
    }
    QList<Slot> slots;
    QStringList marcos;
    for (const QStringList& r :
         readRows(workDir, tables::DIASHORAST::kName,
                  {tables::DIASHORAST::DIA, tables::DIASHORAST::HORA, tables::DIASHORAST::MARCO,
                   tables::DIASHORAST::MINUTOS})) {
        const int dia = r[0].toInt();
        if (dia < 1 || dia > 5) // Tempolan's school week
            continue;
        slots << Slot{dia, r[1].toInt(), r[2], r[3].toInt()};
        if (!marcos.contains(r[2]))
            marcos << r[2];
    }
    std::sort(marcos.begin(), marcos.end());
    QStringList origins;
    if (tables::FileExists(QDir(workDir).filePath(QStringLiteral("ORIGENES_C.DBF"))))
        for (const QStringList& r :
             readRows(workDir, tables::ORIGENES_C::kName, {tables::ORIGENES_C::C_ORIHOR}))
            origins << r[0];

    if (entries <= 0)
        entries = defaultEntries(int(asig.size()), int(teachers.size()));
    if (teachers.isEmpty())
        entries = 0;

    // Budget: a few lessons left unplaced, non-regular and regular activities, and
    // lessons for the rest.
    const int unplacedWanted = int(std::lround(entries * 0.02));
    const int nonRegularWanted = nonRegular.isEmpty() ? 0 : int(std::lround(entries * 0.12));
    const int regularWanted =
        regular.isEmpty() || groups.isEmpty() ? 0 : int(std::lround(entries * 0.05));
    const int lessonsWanted =
        asig.isEmpty() ? 0 : entries - unplacedWanted - nonRegularWanted - regularWanted;

    // Each group keeps to one frame when two were imported (most in the morning), and
    // has a home classroom.
    QHash<QString, QString> groupMarco;
    QHash<QString, QString> homeRoom;
    for (int i = 0; i < groups.size(); ++i) {
        groupMarco[groups[i]] = marcos.size() > 1 && rng.chance(0.25) ? marcos[1] : marcos.value(0);
        homeRoom[groups[i]] = rooms.isEmpty() ? QString() : rooms[i % rooms.size()];
    }
    auto concierto = [&](double blank) {
        if (origins.isEmpty() || rng.chance(blank))
            return QString();
        return rng.chance(0.85) ? origins[0]
                                : origins[rng.below(int(std::min<qsizetype>(4, origins.size())))];
    };

    Planner plan(slots, rng);
    QList<Entry> out;
    SolucSummary sum;
    auto place = [&](Entry e, int s, const QString& group) {
        if (s < 0) {
            e.dia = 0;
            e.hora = 0;
            e.marco.clear();
        } else {
            if (!group.isEmpty() && plan.groupBusy(group, s))
                ++sum.clashes;
            plan.take(e.teacher, group, s);
            e.dia = plan.slot(s).dia;
            e.hora = plan.slot(s).hora;
            e.marco = plan.slot(s).marco;
        }
        out << e;
    };

    // Lessons: each assignment's four lessons with one teacher, who goes on with the
    // next assignments (the same subject in the next groups) until a fair share is
    // reached; a lesson that finds no free time for its teacher stays unplaced.
    const int teacherCount = int(teachers.size());
    if (lessonsWanted > 0) {
        const int share = (lessonsWanted + teacherCount - 1) / teacherCount;
        QList<int> load(teacherCount, 0);
        int teacher = 0, lessons = 0;
        for (int row = 0; lessons < lessonsWanted; row = (row + 1) % int(asig.size())) {
            const QStringList& a = asig[row];
            for (int k = 0; k < 4 && lessons < lessonsWanted; ++k, ++lessons) {
                while (load[teacher] >= share)
                    teacher = (teacher + 1) % teacherCount;
                ++load[teacher];
                Entry e;
                e.teacher = teacher;
                e.asig = a[0];
                e.grupo = a[1];
                e.tarea = a[2];
                e.aula =
                    rng.chance(0.2) && !rooms.isEmpty() ? rng.pick(rooms) : homeRoom.value(a[1]);
                e.concierto = concierto(0.15);
                int s = plan.find(teacher, a[1], groupMarco.value(a[1]), false, true);
                if (s < 0 && overbook)
                    s = plan.any(groupMarco.value(a[1]), false);
                place(e, s, a[1]);
            }
        }
    }
    // Lessons Tempolan could not place.
    for (int i = 0; i < unplacedWanted; ++i) {
        Entry e;
        e.teacher = rng.below(teacherCount);
        if (!asig.isEmpty()) {
            const QStringList& a = rng.pick(asig);
            e.asig = a[0];
            e.grupo = a[1];
            e.tarea = a[2];
        } else if (!nonRegular.isEmpty()) {
            e.asig = nonRegular[0].cod;
            e.tarea = nonRegular[0].codTarea;
        }
        place(e, -1, QString());
    }
    // Regular activities with a group (tutorials and the like).
    for (int i = 0; i < regularWanted; ++i) {
        const ActivityRow& a = rng.pick(regular);
        const QString& group = groups[i % groups.size()];
        Entry e;
        e.teacher = i % teacherCount;
        e.asig = a.cod;
        e.tarea = a.codTarea;
        e.grupo = group;
        e.aula = homeRoom.value(group);
        e.concierto = concierto(0.3);
        int s = plan.find(e.teacher, group, groupMarco.value(group), false, false);
        if (s < 0 && overbook)
            s = plan.any(groupMarco.value(group), false);
        place(e, s, group);
    }
    // Non-regular activities: duties and meetings; the break duty in the breaks.
    for (int i = 0; i < nonRegularWanted; ++i) {
        const ActivityRow& a = rng.pick(nonRegular);
        Entry e;
        e.teacher = rng.below(teacherCount);
        e.asig = a.cod;
        e.tarea = a.codTarea;
        if (rng.chance(0.2) && !rooms.isEmpty())
            e.aula = rng.pick(rooms);
        int s = plan.find(e.teacher, QString(), QString(), a.inBreak, false);
        if (s < 0)
            s = plan.find(e.teacher, QString(), QString(), false, false);
        if (s < 0 && overbook)
            s = plan.any(QString(), a.inBreak);
        place(e, s, QString());
    }

    // Tempolan lists the solution by teacher, then by day and slot; unplaced last.
    std::stable_sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
        if (a.teacher != b.teacher)
            return a.teacher < b.teacher;
        const int da = a.dia == 0 ? 99 : a.dia, db = b.dia == 0 ? 99 : b.dia;
        if (da != db)
            return da < db;
        if (a.marco != b.marco)
            return a.marco < b.marco;
        return a.hora < b.hora;
    });

    tables::DeleteTable(workDir, tables::SOLUC::kName);
    tables::CreateTable(workDir, tables::SOLUC::kName,
                        tables::SOLUC::fields(tables::SOLUC::DayAndSlot::Numeric));
    tables::Table t;
    t.open(workDir, tables::SOLUC::kName, tables::OpenMode::Exclusive);
    for (const Entry& e : out) {
        t.append();
        t.setText(tables::SOLUC::PROF, teachers[e.teacher]);
        t.setInt(tables::SOLUC::DIA, e.dia);
        t.setInt(tables::SOLUC::HORA, e.hora);
        t.setText(tables::SOLUC::MARCO, e.marco);
        t.setText(tables::SOLUC::ASIG, e.asig);
        t.setText(tables::SOLUC::TAREA, e.tarea);
        t.setText(tables::SOLUC::CODGRUPO, e.grupo);
        t.setText(tables::SOLUC::AULA, e.aula);
        t.setText(tables::SOLUC::CCONCIERTO, e.concierto);
        t.post();
        ++sum.entries;
        if (e.dia == 0)
            ++sum.unplaced;
        else if (e.asig.startsWith(u'#'))
            ++sum.nonRegular;
        else
            ++sum.regular;
    }
    t.close();
    return sum;
}

} // namespace genschool
