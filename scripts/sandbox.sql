-- Sample data for the sandbox server of ./run --sandbox: a small shop in Japanese and
-- English, a large table, awkward table names, and accounts with different rights.
-- Load it as UTF-8 (mariadb --default-character-set=utf8mb4). Running it again adds
-- nothing twice and resets the accounts' passwords and rights.

SET NAMES utf8mb4;

CREATE DATABASE IF NOT EXISTS shop CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
USE shop;

-- Customers: Japanese and English names, some addresses and phone numbers unknown.
CREATE TABLE IF NOT EXISTS customers (
    id          INT UNSIGNED NOT NULL AUTO_INCREMENT,
    name        VARCHAR(100) NOT NULL,
    name_kana   VARCHAR(100) NULL,
    email       VARCHAR(255) NULL,
    postal_code CHAR(8)      NULL,
    address     VARCHAR(255) NULL,
    phone       VARCHAR(20)  NULL,
    registered  DATETIME     NOT NULL DEFAULT CURRENT_TIMESTAMP,
    note        TEXT         NULL,
    PRIMARY KEY (id),
    KEY customers_name (name)
) ENGINE=InnoDB;

INSERT IGNORE INTO customers (id, name, name_kana, email, postal_code, address, phone, registered, note) VALUES
    (1, '山田 太郎', 'ヤマダ タロウ', 'taro.yamada@example.jp', '100-0005', '東京都千代田区丸の内1-1-1', '03-1234-5678', '2023-04-01 09:15:00', NULL),
    (2, '佐藤 花子', 'サトウ ハナコ', 'hanako@example.jp', '530-0001', '大阪府大阪市北区梅田2-4-9', NULL, '2023-04-03 14:02:11', '配達は午前中希望'),
    (3, 'John Smith', NULL, 'john.smith@example.com', NULL, '221B Baker Street, London', '+44 20 7946 0000', '2023-05-10 18:30:00', NULL),
    (4, '鈴木 一郎', 'スズキ イチロウ', NULL, '460-0008', '愛知県名古屋市中区栄3-5-1', '052-987-6543', '2023-06-21 11:45:30', NULL),
    (5, 'Emily Brown', NULL, 'emily@example.com', NULL, NULL, NULL, '2023-07-07 07:07:07', 'Prefers e-mail; no calls'),
    (6, '高橋 美咲', 'タカハシ ミサキ', 'misaki.t@example.jp', '060-0806', '北海道札幌市北区北6条西4丁目', '011-222-3333', '2023-08-15 20:00:00', 'ポイント会員 ⭐'),
    (7, 'María García', NULL, 'maria@example.es', NULL, 'Calle Mayor 1, Madrid', NULL, '2023-09-01 10:00:00', NULL),
    (8, '田中 健', 'タナカ ケン', NULL, NULL, NULL, NULL, '2024-01-05 08:30:00', NULL),
    (9, 'Sean O''Brien', NULL, 'sean.obrien@example.ie', NULL, '12 "Quay" Road, Dublin', NULL, '2024-02-29 12:00:00', 'Name with a quote; path C:\\orders\\sean'),
    (10, '渡辺 さくら', 'ワタナベ サクラ', 'sakura@example.jp', '812-0011', '福岡県福岡市博多区博多駅前2-1-1', '092-111-2222', '2024-03-20 16:20:00', NULL);

-- Products: Japanese names, prices in yen, free-text descriptions.
CREATE TABLE IF NOT EXISTS products (
    id          INT UNSIGNED  NOT NULL AUTO_INCREMENT,
    name        VARCHAR(100)  NOT NULL,
    price       DECIMAL(10,0) NOT NULL,
    description TEXT          NULL,
    released    DATE          NULL,
    discontinued TINYINT(1)   NOT NULL DEFAULT 0,
    PRIMARY KEY (id),
    UNIQUE KEY products_name (name)
) ENGINE=InnoDB;

INSERT IGNORE INTO products (id, name, price, description, released, discontinued) VALUES
    (1, '緑茶 500ml', 150, '静岡県産の茶葉を使用したすっきりとした味わいの緑茶です。', '2020-03-01', 0),
    (2, 'ほうじ茶ティーバッグ 20袋', 480, '香ばしい香りのほうじ茶。\n1袋で約300mlお楽しみいただけます。', '2021-09-15', 0),
    (3, '抹茶ラテの素', 980, NULL, '2022-01-10', 0),
    (4, '湯呑み（有田焼）', 2800, '佐賀県有田町で焼かれた湯呑みです。電子レンジ不可。', '2019-11-01', 0),
    (5, '急須 ステンレス茶こし付き', 3500, 'Teapot with a stainless strainer. 容量 350ml.', '2018-05-20', 1),
    (6, '玄米茶 200g', 650, NULL, NULL, 0),
    (7, 'ギフトセット「四季」', 5400, '煎茶・玉露・ほうじ茶・玄米茶の詰め合わせ。のし対応可。', '2023-11-01', 0),
    (8, '麦茶パック 52袋', 398, '夏季限定 "お徳用"', '2023-06-01', 0);

-- Orders: one row per line of an order, keyed by order number and line number.
CREATE TABLE IF NOT EXISTS orders (
    order_no    INT UNSIGNED      NOT NULL,
    line_no     SMALLINT UNSIGNED NOT NULL,
    customer_id INT UNSIGNED      NOT NULL,
    product_id  INT UNSIGNED      NOT NULL,
    quantity    INT               NOT NULL DEFAULT 1,
    ordered_at  DATETIME          NOT NULL,
    shipped_at  DATETIME          NULL,
    PRIMARY KEY (order_no, line_no),
    KEY orders_customer (customer_id),
    KEY orders_product (product_id)
) ENGINE=InnoDB;

INSERT IGNORE INTO orders (order_no, line_no, customer_id, product_id, quantity, ordered_at, shipped_at) VALUES
    (1001, 1, 1, 1, 24, '2024-04-01 10:00:00', '2024-04-02 09:00:00'),
    (1001, 2, 1, 4, 2, '2024-04-01 10:00:00', '2024-04-02 09:00:00'),
    (1002, 1, 2, 7, 1, '2024-04-03 15:30:00', '2024-04-05 13:10:00'),
    (1003, 1, 3, 3, 3, '2024-04-10 21:45:00', NULL),
    (1003, 2, 3, 2, 1, '2024-04-10 21:45:00', NULL),
    (1003, 3, 3, 8, 5, '2024-04-10 21:45:00', NULL),
    (1004, 1, 6, 5, 1, '2024-05-01 08:00:00', '2024-05-01 17:00:00'),
    (1005, 1, 9, 1, 48, '2024-05-12 12:12:12', NULL),
    (1006, 1, 10, 6, 2, '2024-06-01 09:30:00', '2024-06-03 11:00:00'),
    (1006, 2, 10, 7, 1, '2024-06-01 09:30:00', '2024-06-03 11:00:00');

-- A table whose name has a blank in it.
CREATE TABLE IF NOT EXISTS `order items` (
    order_no    INT UNSIGNED      NOT NULL,
    line_no     SMALLINT UNSIGNED NOT NULL,
    `gift wrap` TINYINT(1)        NOT NULL DEFAULT 0,
    message     VARCHAR(200)      NULL,
    PRIMARY KEY (order_no, line_no)
) ENGINE=InnoDB;

INSERT IGNORE INTO `order items` (order_no, line_no, `gift wrap`, message) VALUES
    (1001, 2, 1, 'いつもありがとうございます'),
    (1002, 1, 1, 'お誕生日おめでとう！'),
    (1003, 1, 0, NULL),
    (1006, 2, 1, 'Happy birthday, "Mom" 🎂');

-- A table and columns with Japanese names: stock per warehouse.
CREATE TABLE IF NOT EXISTS `商品在庫` (
    `商品ID`   INT UNSIGNED NOT NULL,
    `倉庫`     VARCHAR(20)  NOT NULL,
    `在庫数`   INT          NOT NULL DEFAULT 0,
    `更新日時` DATETIME     NULL,
    PRIMARY KEY (`商品ID`, `倉庫`)
) ENGINE=InnoDB;

INSERT IGNORE INTO `商品在庫` (`商品ID`, `倉庫`, `在庫数`, `更新日時`) VALUES
    (1, '東京', 1200, '2024-06-01 09:00:00'),
    (1, '大阪', 800, '2024-06-01 09:00:00'),
    (2, '東京', 340, '2024-05-28 17:30:00'),
    (3, '東京', 0, NULL),
    (4, '福岡', 25, '2024-04-15 10:00:00'),
    (7, '東京', 60, '2024-06-02 08:45:00'),
    (7, '札幌', 12, NULL);

-- A MyISAM table: page views, without transactions.
CREATE TABLE IF NOT EXISTS access_log (
    id          INT UNSIGNED NOT NULL AUTO_INCREMENT,
    accessed_at DATETIME     NOT NULL,
    path        VARCHAR(255) NOT NULL,
    customer_id INT UNSIGNED NULL,
    user_agent  VARCHAR(255) NULL,
    PRIMARY KEY (id),
    KEY access_log_time (accessed_at)
) ENGINE=MyISAM;

INSERT IGNORE INTO access_log (id, accessed_at, path, customer_id, user_agent) VALUES
    (1, '2024-06-01 09:00:01', '/', NULL, 'Mozilla/5.0'),
    (2, '2024-06-01 09:00:05', '/products/1', NULL, 'Mozilla/5.0'),
    (3, '2024-06-01 09:01:10', '/cart', 1, 'Mozilla/5.0'),
    (4, '2024-06-01 09:02:00', '/search?q=%E7%B7%91%E8%8C%B6', 2, NULL),
    (5, '2024-06-01 09:03:30', '/checkout', 1, 'Mozilla/5.0');

-- A large table for paging, sizes and exports: 100,000 generated rows.
CREATE TABLE IF NOT EXISTS big (
    id       INT UNSIGNED  NOT NULL,
    code     CHAR(8)       NOT NULL,
    label    VARCHAR(40)   NOT NULL,
    category TINYINT       NOT NULL,
    amount   DECIMAL(10,2) NOT NULL,
    day      DATE          NOT NULL,
    note     VARCHAR(40)   NULL,
    PRIMARY KEY (id),
    KEY big_category (category, day)
) ENGINE=InnoDB;

INSERT IGNORE INTO big (id, code, label, category, amount, day, note)
SELECT seq,
       LPAD(seq, 8, '0'),
       CONCAT('item ', seq),
       seq % 10,
       (seq * 37 % 100000) / 100,
       '2020-01-01' + INTERVAL (seq % 1500) DAY,
       IF(seq % 7 = 0, NULL, CONCAT('メモ ', seq))
FROM seq_1_to_100000;

-- Accounts: an administrator, a clerk who may change the shop's rows, a viewer who may
-- only read them.
CREATE OR REPLACE USER 'sandbox_admin'@'%' IDENTIFIED BY 'sandbox';
GRANT ALL PRIVILEGES ON *.* TO 'sandbox_admin'@'%' WITH GRANT OPTION;

CREATE OR REPLACE USER 'clerk'@'%' IDENTIFIED BY 'clerk';
GRANT SELECT, INSERT, UPDATE ON shop.* TO 'clerk'@'%';

CREATE OR REPLACE USER 'viewer'@'%' IDENTIFIED BY 'viewer';
GRANT SELECT ON shop.* TO 'viewer'@'%';
