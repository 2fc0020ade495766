import flash.display.Graphics;
import flash.display.Sprite;
import flash.events.Event;

/** Make a funny face: the buttons change the eyes, mouth, hat and colour. */
class FaceMaker extends Sprite {
	var face = new Sprite();
	var eyes = 0;
	var mouth = 0;
	var hat = 0;
	var skin = 0;
	var frame = 0;
	var blink = 0;

	static var skins = [0xFFD8B1, 0xFFE45C, 0x9BE07A, 0x8FD3FF, 0xFF9EB5];

	public function new() {
		super();
		Kit.sky(graphics, 0xFFF0C9, 0xFFD6A5);
		face.x = 200;
		face.y = 215;
		addChild(face);
		var names:Array<{c:Int, f:Void->Void}> = [
			{c: 0x2D9CDB, f: function() eyes = (eyes + 1) % 4},
			{c: 0xE8383D, f: function() mouth = (mouth + 1) % 4},
			{c: 0x9B51E0, f: function() hat = (hat + 1) % 4},
			{c: 0xFF8C42, f: function() skin = (skin + 1) % skins.length}
		];
		for (i in 0...names.length) {
			var b = Kit.button("", names[i].c, 90, 70, names[i].f);
			b.x = 420;
			b.y = 30 + i * 90;
			icon(b.graphics, i);
			addChild(b);
		}
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function icon(g:Graphics, i:Int) {
		g.lineStyle(4, 0xFFFFFF);
		switch (i) {
			case 0:
				g.drawCircle(30, 35, 10);
				g.drawCircle(60, 35, 10);
			case 1:
				g.moveTo(25, 30);
				g.curveTo(45, 55, 65, 30);
			case 2:
				g.beginFill(0xFFFFFF);
				g.moveTo(25, 52);
				g.lineTo(45, 15);
				g.lineTo(65, 52);
				g.endFill();
			default:
				g.beginFill(0xFFFFFF);
				g.drawCircle(45, 35, 18);
				g.endFill();
		}
		g.lineStyle();
	}

	function draw() {
		var g = face.graphics;
		g.clear();
		g.lineStyle(4, 0x333333);
		g.beginFill(skins[skin]);
		g.drawEllipse(-110, -120, 220, 240);
		g.endFill();
		// cheeks
		g.lineStyle();
		g.beginFill(0xFF7A8A, 0.5);
		g.drawCircle(-65, 25, 18);
		g.drawCircle(65, 25, 18);
		g.endFill();
		g.lineStyle(4, 0x333333);
		var shut = blink > 0;
		for (side in [-1, 1]) {
			var x = side * 42;
			if (shut) {
				g.moveTo(x - 16, -25);
				g.lineTo(x + 16, -25);
				continue;
			}
			switch (eyes) {
				case 0:
					g.beginFill(0xFFFFFF);
					g.drawCircle(x, -25, 20);
					g.endFill();
					g.beginFill(0x333333);
					g.drawCircle(x + 4, -22, 8);
					g.endFill();
				case 1:
					g.beginFill(0x333333);
					g.drawCircle(x, -25, 9);
					g.endFill();
				case 2:
					g.moveTo(x - 16, -20);
					g.curveTo(x, -40, x + 16, -20);
				default:
					g.beginFill(0xFFFFFF);
					g.drawEllipse(x - 18, -55, 36, 50);
					g.endFill();
					g.beginFill(0x333333);
					g.drawCircle(x, -30 + Math.sin(frame / 8) * 10, 9);
					g.endFill();
			}
		}
		g.beginFill(0xE8A070);
		g.drawCircle(0, 10, 10);
		g.endFill();
		switch (mouth) {
			case 0:
				g.moveTo(-45, 50);
				g.curveTo(0, 95, 45, 50);
			case 1:
				g.beginFill(0xC0392B);
				g.drawEllipse(-25, 45, 50, 40);
				g.endFill();
			case 2:
				g.moveTo(-40, 65);
				g.lineTo(40, 65);
				g.beginFill(0xFF7A9A);
				g.drawEllipse(5, 62, 22, 30);
				g.endFill();
			default:
				g.moveTo(-45, 70);
				g.curveTo(-22, 50, 0, 70);
				g.curveTo(22, 90, 45, 70);
		}
		g.lineStyle(4, 0x333333);
		switch (hat) {
			case 1:
				g.beginFill(0x9B51E0);
				g.moveTo(-70, -100);
				g.lineTo(0, -200);
				g.lineTo(70, -100);
				g.lineTo(-70, -100);
				g.endFill();
				Kit.star(g, 0, -200, 16, 0xFFE45C, frame / 10);
			case 2:
				Kit.fillEach(g, 0x333333, [
					function(g) g.drawRect(-60, -190, 120, 80),
					function(g) g.drawRect(-95, -115, 190, 16)
				]);
			case 3:
				g.beginFill(0xFFD23F);
				g.moveTo(-80, -95);
				g.lineTo(-80, -160);
				g.lineTo(-40, -120);
				g.lineTo(0, -170);
				g.lineTo(40, -120);
				g.lineTo(80, -160);
				g.lineTo(80, -95);
				g.lineTo(-80, -95);
				g.endFill();
			default:
		}
		g.lineStyle();
	}

	function tick(_) {
		frame++;
		if (blink > 0)
			blink--;
		else if (frame % 90 == 0)
			blink = 5;
		face.rotation = Math.sin(frame / 20) * 4;
		draw();
	}

	static function main() {
		Kit.start(new FaceMaker());
	}
}
